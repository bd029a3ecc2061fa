# Copies the page's files into the site and writes its service worker: the list of files to
# keep for offline use, and a cache name made of the version and a digest of every file, so
# that a changed site replaces the cached one on the next visit.
# Run as: cmake -DSOURCE_DIR= -DSITE_DIR= -DFILES=a;b -DVERSION= -P make_site.cmake

foreach(file ${FILES})
    configure_file(${SOURCE_DIR}/${file} ${SITE_DIR}/${file} COPYONLY)
endforeach()

# Every file the site serves, the worker's own aside; in a stable order for the digest.
file(GLOB served RELATIVE ${SITE_DIR} ${SITE_DIR}/*)
list(REMOVE_ITEM served sw.js)
list(SORT served)
set(digests "")
set(cached "\"./\"")
foreach(file ${served})
    file(SHA256 ${SITE_DIR}/${file} digest)
    string(APPEND digests "${digest}")
    string(APPEND cached ",\"./${file}\"")
endforeach()
string(SHA256 digest "${digests}")
string(SUBSTRING "${digest}" 0 12 digest)

set(CACHE_NAME "talvo-${VERSION}-${digest}")
set(CACHED_FILES "[${cached}]")
configure_file(${SOURCE_DIR}/sw.js ${SITE_DIR}/sw.js @ONLY)
