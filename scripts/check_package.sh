#!/usr/bin/env bash
# Builds the Debian package from a build directory and checks it as a user's
# machine would see it:
#   scripts/check_package.sh BUILD_DIR
# The directory is configured (without tests and benchmarks) if it is not yet.
# Checks: the package's name, file name and contents, its Depends line, the
# unpacked binaries' libraries (ldd), both programs' --version and --help,
# the desktop entry and metainfo validators, the man pages against --help,
# and the bash completion. Prints a summary; exits 1 on any failed check,
# 2 on a usage error.
set -uo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "$1")

failures=0
checks=0
pass() { checks=$((checks + 1)); }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL: $*" >&2; }
check() { # check DESCRIPTION COMMAND...: passes when the command succeeds
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then pass; else fail "$what"; fi
}
die() { echo "check_package: $*" >&2; exit 1; }

# --- build and pack --------------------------------------------------------------
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DIDR_BUILD_TESTS=OFF -DIDR_BUILD_BENCH=OFF >&2 ||
        die "configuring $build failed"
fi
cmake --build "$build" --target idr_package_contents -- -j"$(nproc)" >&2 || die "building $build failed"
rm -rf "$build/package"
(cd "$build" && cpack --config CPackConfig.cmake -B "$build/package") >&2 || die "cpack failed"

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
app_id=$(sed -n 's/^set(IDR_APP_ID "\(.*\)")$/\1/p' "$root/cmake/Install.cmake")
[ -n "$version" ] || die "no CPACK_PACKAGE_VERSION in $build/CPackConfig.cmake"
[ -n "$app_id" ] || die "no IDR_APP_ID in cmake/Install.cmake"
deb="$build/package/id-reader_${version}_amd64.deb"
[ -f "$deb" ] || die "cpack wrote no $(basename "$deb") (found: $(ls "$build/package"))"

# --- control fields ----------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = id-reader ] && pass || fail "Package is '$(field Package)', not id-reader"
[ "$(field Version)" = "$version" ] && pass || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = amd64 ] && pass || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
# Package names only: "libc6 (>= 2.34), a | b" gives libc6, a, b.
depends_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | grep -v '^$')
# From dpkg-shlibdeps: the C and C++ runtimes and Qt's widgets for the window;
# the fonts are named by hand.
# The format plugins' libraries come from dpkg-shlibdeps too; cairo,
# libxlsxwriter, and OpenCV and the format libraries of id-reader-cli, which
# the programs open on first use, are named by hand.
for dep in libc6 libstdc++6 libqt6widgets6 fonts-dejavu-core fonts-tlwg-loma libpoppler-cpp0v5 libheif1 libcairo2 \
    libxlsxwriter4 libopencv-core406 libopencv-imgproc406 libjpeg62-turbo libspng0 libwebp7; do
    grep -qxF "$dep" <<<"$depends_names" && pass || fail "Depends lacks $dep: $depends"
done
# Every dependency must be a package this system's apt knows, or a bare
# Debian 12 could not install the .deb.
while read -r dep; do
    apt-cache show "$dep" >/dev/null 2>&1 && pass || fail "Depends names $dep, which apt does not know"
done <<<"$depends_names"

# --- contents ------------------------------------------------------------------------
contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
expected=(
    ./usr/bin/id-reader
    ./usr/bin/id-reader-cli
    "./usr/share/applications/$app_id.desktop"
    "./usr/share/metainfo/$app_id.metainfo.xml"
    ./usr/share/icons/hicolor/scalable/apps/id-reader.svg
    ./usr/share/man/man1/id-reader.1.gz
    ./usr/share/man/man1/id-reader-cli.1.gz
    ./usr/share/bash-completion/completions/id-reader-cli
    ./usr/lib/id-reader/id-reader-pdf.so
    ./usr/lib/id-reader/id-reader-heif.so
    ./usr/lib/id-reader/id-reader-tiff.so
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/id-reader.png")
done
for path in "${expected[@]}"; do
    grep -qxF "$path" <<<"$contents" && pass || fail "package lacks $path"
done

# --- unpacked: libraries and both programs ----------------------------------------------
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch" || die "dpkg-deb -x failed"
bin="$scratch/usr/bin"
for program in "$bin/id-reader" "$bin/id-reader-cli" "$scratch"/usr/lib/id-reader/*.so; do
    missing=$(ldd "$program" 2>&1 | grep "not found")
    [ -z "$missing" ] && pass || fail "$(basename "$program"): libraries not found: $missing"
done
# The command-line reader loads none of the libraries only some inputs or
# options need (OpenCV and the format libraries wait for its first scan),
# nor any that OpenCV's image codecs used to bring.
cli_libraries=$(ldd "$bin/id-reader-cli" | awk '{ print $1 }')
for lib in poppler heif libtiff cairo xlsxwriter gdal gdcm hdf5 netcdf opencv libjpeg libspng libwebp; do
    grep -qi "$lib" <<<"$cli_libraries" && fail "id-reader-cli links $lib at start" || pass
done
count=$(wc -l <<<"$cli_libraries")
[ "$count" -le 60 ] && pass || fail "id-reader-cli loads $count libraries at start, more than 60"

# Table: command line | exit status | text the output must contain. The window
# must answer without a display, so DISPLAY is cleared for every row.
while IFS='|' read -r cmd status want; do
    read -ra argv <<<"$cmd"
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/${argv[0]}" "${argv[@]:1}" 2>&1)
    got=$?
    [ "$got" = "$status" ] && pass || fail "'$cmd' exited $got, not $status"
    grep -qF -- "$want" <<<"$out" && pass || fail "'$cmd' printed no '$want': $out"
done <<EOF
id-reader-cli --version|0|$version
id-reader --version|0|id-reader $version
id-reader -V|0|id-reader $version
id-reader --help|0|--version
id-reader -h|0|Usage: id-reader
id-reader-cli --help|0|--threshold
id-reader-cli|0|student-id: 5093719246
id-reader-cli --no-such-option|2|no-such-option
id-reader-cli --print-form $scratch/form.pdf|0|
id-reader-cli --csv $scratch/form.pdf|0|,review,
EOF

# --- desktop entry and metainfo validators ----------------------------------------------
check "desktop-file-validate $app_id.desktop" \
    desktop-file-validate "$scratch/usr/share/applications/$app_id.desktop"
hints=$(desktop-file-validate "$scratch/usr/share/applications/$app_id.desktop" 2>&1)
[ -z "$hints" ] && pass || fail "desktop-file-validate: $hints"
check "appstreamcli validate $app_id.metainfo.xml" \
    appstreamcli validate --no-net "$scratch/usr/share/metainfo/$app_id.metainfo.xml"
grep -qF "version=\"$version\"" "$scratch/usr/share/metainfo/$app_id.metainfo.xml" && pass ||
    fail "metainfo names no release $version"

# --- man pages: every option --help lists, and the version -------------------------------
for program in id-reader id-reader-cli; do
    page=$(zcat "$scratch/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
    grep -qF "$version" <<<"$page" && pass || fail "$program(1) does not name version $version"
    while read -r option; do
        grep -qF -- "$option" <<<"$page" && pass || fail "$program(1) lacks $option from --help"
    done < <(env -u DISPLAY "$bin/$program" --help | grep -oE '^ +(-[A-Za-z], ?)?--[a-z][a-z-]*' | grep -oE -- '--[a-z-]+')
done

# --- bash completion ------------------------------------------------------------------------
# Table: words on the line (the last one is being completed) | a completion
# that must be offered ("-" for: nothing at all).
sheet_dir="$scratch/sheets"
mkdir -p "$sheet_dir" && : >"$sheet_dir/scan-one.bmp"
completion_case() { # prints the completions for the given words
    PATH="$bin:$PATH" bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _id_reader_cli
        printf "%s\n" "${COMPREPLY[@]}"' _ "$scratch/usr/share/bash-completion/completions/id-reader-cli" "$@"
}
while IFS='|' read -r words want; do
    read -ra argv <<<"$words"
    [[ $words == *" " ]] && argv+=("")
    got=$(completion_case "${argv[@]}")
    if [ "$want" = "-" ]; then
        [ -z "$got" ] && pass || fail "completing '$words' offered: $got"
    else
        grep -qxF -- "$want" <<<"$got" && pass || fail "completing '$words' did not offer $want: $got"
    fi
done <<EOF
id-reader-cli --thr|--threshold
id-reader-cli -|--csv
id-reader-cli --|--version
id-reader-cli --threshold |-
id-reader-cli --click b|-
id-reader-cli --save-picture $sheet_dir/scan|$sheet_dir/scan-one.bmp
id-reader-cli --save-picture = $sheet_dir/sc|$sheet_dir/scan-one.bmp
id-reader-cli --csv $sheet_dir/scan-|$sheet_dir/scan-one.bmp
EOF

# --- summary ------------------------------------------------------------------------------------
size=$(du -k "$deb" | cut -f1)
files=$(grep -vc '/$' <<<"$contents")
echo "package:  $deb (${size} KiB, $files files)"
echo "depends:  $depends"
echo "checks:   $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
