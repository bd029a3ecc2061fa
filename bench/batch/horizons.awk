# A horizon table of n rows (awk -v n=ROWS -f horizons.awk): five horizons a profile, two
# profiles' horizons interleaved and one of them upside down.
BEGIN {
    print "profile,top,bottom,sand,silt,clay,oc,bd,cf"
    srand(7)
    for (i = 0; i < n; i++) {
        p = int(i / 10) * 2 + i % 2; h = int((i % 10) / 2)
        if (i % 2) h = 4 - h
        top = h * 30
        sand = 20 + int(rand() * 60); clay = 5 + int(rand() * 40)
        printf "S%07d,%d,%d,%d,%d,%d,%.2f,%.2f,%d\n", p, top, top + 30, sand, 100 - sand - clay, clay, rand() * 3, 1.2 + rand() * 0.5, int(rand() * 30)
    }
}
