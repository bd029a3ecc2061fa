#!/usr/bin/env bash
# Installs the Debian 12 packages for building and running every program; with --examples
# also those the README's Python and map examples use; with --dev those and the ones for the
# tests, benchmarks and hardening (scripts/test.sh, .ci/run), as a test runs the examples; with
# --web only those for building the web site.
# Quick and silent when everything is already there.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config
    # talvo-batch; its manual page is made from --help; libxlsxwriter: --output NAME.xlsx
    libcli11-dev help2man libxlsxwriter-dev
    # window (fonts-liberation2: the layout is measured with Liberation Sans)
    qt6-base-dev qt6-svg-dev libgl-dev libx11-dev fonts-liberation2
    # window icon, rendered from its SVG at build time
    librsvg2-bin
    # map tool
    libgdal-dev
    # Python module
    pybind11-dev python3-dev
    # R package: its glue is compiled against Rcpp, its help made by roxygen2 at build time
    r-base-dev r-cran-rcpp r-cran-roxygen2
    # Debian packages (cpack -G DEB)
    dpkg-dev
)
dev_packages=(
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # desktop files, manual pages, shell completion, Debian packages
    desktop-file-utils appstream man-db bash-completion lintian
    # Python module's tests; openpyxl and odf read and make the spreadsheets
    python3-numpy python3-pytest python3-pandas python3-xarray python3-dask python3-distributed
    python3-openpyxl python3-odf
    # the README's pipe from a .xlsx into talvo-batch
    xlsx2csv
    # R package's tests (tibbles too), its vignette and R CMD check --as-cran
    r-cran-testthat r-cran-tibble r-cran-knitr r-cran-rmarkdown pandoc qpdf
    # map tool's tests and benchmark compare with gdal_calc.py
    gdal-bin python3-gdal
    # window tests in a real X server, screenshots
    xvfb xauth xdotool x11-utils imagemagick
    # hardening; flake8 lints the Python sources and tests
    clang libclang-rt-14-dev clang-tidy clang-format cppcheck valgrind flake8
    # the engine built for the browser (cmake --preset web), its tests run under node
    emscripten nodejs
    # the web site's tests in headless Chromium; npm brings axe-core, and ESLint and Prettier
    # for the site's JavaScript (tests/web/package.json)
    chromium chromium-driver python3-selenium
)
example_packages=(
    # Python: the module's arrays, the pandas and xarray examples, a Dask cluster, netCDF;
    # talvo.read_table's .xlsx and .ods through pandas
    python3-numpy python3-pandas python3-xarray python3-dask python3-distributed python3-netcdf4
    python3-openpyxl python3-odf
    # maps: the generated soils (make_soils.py), gdalinfo, gdal_translate, gdaldem, gdalbuildvrt
    gdal-bin python3-gdal
)

# What the web site alone needs (scripts/web.sh): the web preset configures its tests too.
# npm brings the site's spreadsheet library (src/web/package.json).
web_packages=(cmake ninja-build emscripten nodejs librsvg2-bin libgtest-dev)

case "${1:-}" in
    "") ;;
    --dev) packages+=("${dev_packages[@]}" "${example_packages[@]}") ;;
    --examples) packages+=("${example_packages[@]}") ;;
    --web) packages=("${web_packages[@]}") ;;
    *)
        echo "usage: $0 [--dev | --examples | --web]" >&2
        exit 2
        ;;
esac

# npm packages, as a folder's lockfile pins them: src/web's, which the web site ships, and
# tests/web's. Quick when that lockfile is installed already (npm ci leaves a copy of it
# behind). npm comes with some builds of node; Debian's node needs its package.
install_npm() {
    local dir
    for dir in "$@"; do
        dir="$(dirname "$0")/../$dir"
        cmp -s "$dir/package-lock.json" "$dir/node_modules/.installed-lock.json" && continue
        if ! command -v npm >/dev/null; then
            "${sudo[@]}" apt-get "${lock[@]}" install -y -qq --no-install-recommends npm
        fi
        (cd "$dir" && npm ci --no-audit --no-fund --silent &&
            cp package-lock.json node_modules/.installed-lock.json)
    done
}
# What each choice needs from npm.
npm_folders() {
    case "${1:-}" in
        --dev) install_npm src/web tests/web ;;
        --web) install_npm src/web ;;
    esac
}

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# Another apt (unattended upgrades, a second script) may hold the lock: wait for it.
lock=(-o DPkg::Lock::Timeout=120)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    npm_folders "${1:-}"
    exit 0
fi

echo "Installing: ${missing[*]}" >&2
"${sudo[@]}" apt-get "${lock[@]}" update -qq
"${sudo[@]}" apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"
npm_folders "${1:-}"
exit 0
