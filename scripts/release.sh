#!/usr/bin/env bash
# Builds a release of the committed tree into dist/:
#   Pelmora-VERSION-Setup.exe                       the installer (x64 and x86 Windows)
#   pelmora-cli-VERSION-windows-x64.zip, -x86.zip   the command-line program alone, for Windows
#   pelmora-cli-VERSION-linux-x86_64.tar.gz         the same for Linux, with its manual page
#   pelmora-cli_VERSION-1_amd64.deb                 the same as a Debian package
#   winget/                                         the winget manifests of the installer
#   signatures/                                     when signed: every Authenticode signature, detached
#   BUILDINFO                                       commit, SOURCE_DATE_EPOCH, toolchain, SQLite
#   SHA256SUMS                                      of every file above but BUILDINFO
#   SHA256SUMS.asc                                  when PELMORA_GPG_KEY is set: its OpenPGP signature
# Every package holds LICENSE.txt and THIRD-PARTY-NOTICES.txt, which Setup installs too.
#
#   scripts/release.sh            one build
#   scripts/release.sh --verify   two builds in two different directories, compared file by file;
#                                 dist/ is written only when every byte agrees
#   scripts/release.sh --check-version
#                                 only the checks of the project version and of the version tags
#                                 on HEAD, before tagging or pushing a tag; builds nothing
#
# The build uses `git archive` of HEAD, so nothing uncommitted or untracked gets in, and the commit
# time as SOURCE_DATE_EPOCH, so the same commit gives the same bytes. Before building it checks the
# tree, the tools and the version and stops with one line when something is wrong; a failure
# later removes everything it wrote. PELMORA_WINGET_SCHEMAS as for
# tools/release/winget.py.
#
# The addresses and names a release publishes, each with its default (the README lists them):
#   PELMORA_HOMEPAGE     the product's page: Apps & features, the .deb, the winget licence address
#   PELMORA_RELEASE_URL  where the release's files are published (winget names Setup below it)
#   PELMORA_MAINTAINER   the .deb's maintainer
#
# Signing, when PELMORA_SIGN_KEY is set (tools/release/signing.sh names the other settings): every
# Windows binary is signed before it is packed, then the uninstaller and Setup as makensis writes
# them, and their signatures are published, detached, in signatures/. PELMORA_SIGNATURES_IN=DIR
# instead attaches the signatures of a published release to this build, which then has the same
# bytes as that release. PELMORA_GPG_KEY (a key in gpg's keyring) signs SHA256SUMS.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
verify=no
case "${1:-}" in
"") ;;
--verify) verify=yes ;;
--check-version) verify="version-only" ;;
*) echo "usage: scripts/release.sh [--verify | --check-version]" >&2; exit 2 ;;
esac

die() {
    echo "release: $*" >&2
    exit 1
}

# The project version is three numbers, and every tag on HEAD that names a version names this one,
# spelled as the download address spells it (v1.2.3). A tag names a version when it ends in numbers
# joined by dots (perhaps with a suffix such as -rc1) after an optional word: 1.2.3, V1.2.3,
# release-1.2.3 all do, and are compared by the version they name.
check_version() {
    version="$(sed -n 's/^project(Pelmora VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)"
    [[ "$version" =~ ^(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)$ ]] ||
        die "the project version in CMakeLists.txt is \"$version\", not three numbers MAJOR.MINOR.PATCH: fix it there"
    local tag named
    for tag in $(git tag --points-at HEAD); do
        [[ "$tag" =~ ^([A-Za-z_/-]*)([0-9]+(\.[0-9]+)*)(-[0-9A-Za-z.-]+)?$ ]] || continue
        named="${BASH_REMATCH[2]}${BASH_REMATCH[4]}"
        # A lone number is a version only right after a "v" (v2); "build-42" is no version.
        [[ "$named" == *.* || "${BASH_REMATCH[1]}" == *[vV] ]] || continue
        if [ "$named" != "$version" ]; then
            die "the tag $tag on HEAD names version $named, which disagrees with the project version $version: tag v$version instead, or change the version in CMakeLists.txt"
        fi
        [ "$tag" = "v$version" ] ||
            die "the tag $tag on HEAD names the project version $version but is spelled differently: tag v$version instead (the download address of the release uses that spelling)"
    done
}
if [ "$verify" = version-only ]; then
    check_version
    echo "release: the project version $version agrees with the tags on HEAD"
    exit 0
fi

# ---------------------------------------------------------------------------------------------
# Before building: everything a build needs, and a version that agrees with itself.

system_python=/usr/bin/python3
for tool in git cmake ninja makensis x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix \
    x86_64-w64-mingw32-windres i686-w64-mingw32-windres g++ objcopy zip tar gzip sha256sum dpkg-deb \
    dpkg-shlibdeps dpkg-buildflags help2man lintian "$system_python"; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/setup.sh"
done
signing=no
if [ -n "${PELMORA_SIGNATURES_IN:-}" ]; then
    signing=attach
    [ -d "$PELMORA_SIGNATURES_IN" ] || die "PELMORA_SIGNATURES_IN is $PELMORA_SIGNATURES_IN, which is no folder"
    PELMORA_SIGNATURES_IN="$(cd "$PELMORA_SIGNATURES_IN" && pwd)"
elif [ -n "${PELMORA_SIGN_KEY:-}${PELMORA_SIGN_CERT:-}" ]; then
    signing=sign
fi
if [ -n "${PELMORA_GPG_KEY:-}" ]; then
    command -v gpg >/dev/null || die "gpg is missing: run scripts/setup.sh"
    gpg --batch --list-secret-keys "$PELMORA_GPG_KEY" >/dev/null 2>&1 ||
        die "gpg has no secret key $PELMORA_GPG_KEY: import it or set PELMORA_GPG_KEY to one gpg --list-secret-keys shows"
fi
"$system_python" -c 'import yaml, jsonschema' 2>/dev/null ||
    die "python3-yaml or python3-jsonschema is missing: run scripts/setup.sh"
[ -z "$(git status --porcelain --untracked-files=all)" ] ||
    die "the working tree has uncommitted changes or untracked files: commit or remove them first (git status)"
check_version
sqlite_dir="${PELMORA_CACHE:-$HOME/.cache/pelmora}/sqlite"
[ -f "$sqlite_dir/sqlite3.c" ] || die "no SQLite amalgamation in $sqlite_dir: run scripts/setup.sh"
schemas="${PELMORA_WINGET_SCHEMAS:-$root/../shared/winget-schemas}"
[ -d "$schemas/1.12.0" ] ||
    die "no winget schemas in $schemas/1.12.0: put them beside the repository or set PELMORA_WINGET_SCHEMAS"
export PELMORA_WINGET_SCHEMAS="$schemas"
"$system_python" tools/artwork/draw_artwork.py --check >/dev/null 2>&1 ||
    die "the committed pictures are not what tools/artwork/draw_artwork.py draws (the about box shows the version, $version.1): run it and commit them"

commit="$(git rev-parse HEAD)"
export SOURCE_DATE_EPOCH="$(git log -1 --format=%ct HEAD)"
export TZ=UTC LC_ALL=C.UTF-8 LANG=C.UTF-8
umask 022
# Every object compiled afresh: a cached one would stand in for the compiler's own output.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
homepage="${PELMORA_HOMEPAGE:-$(sed -n 's/^ *HOMEPAGE_URL "\(.*\)"/\1/p' CMakeLists.txt)}"
release_url="${PELMORA_RELEASE_URL:-$homepage/releases/download}/v$version"
maintainer="${PELMORA_MAINTAINER:-Pelmora developers <releases@pelmora.invalid>}"
export PELMORA_HOMEPAGE="$homepage"
if [ "$signing" = sign ]; then
    # One signing time for the whole release (and both builds of --verify).
    export PELMORA_SIGN_TIME="${PELMORA_SIGN_TIME:-$(date +%s)}"
    bash tools/release/signing.sh check
fi
jobs="${PELMORA_JOBS:-2}"

# Everything written goes under these; the trap removes what a failed or interrupted run leaves.
scratch="$(mktemp -d /tmp/pelmora-release.XXXXXX)"
partial="$root/dist.partial"
keep_scratch=no
cleanup() {
    local status=$?
    rm -rf "$partial"
    [ "$keep_scratch" = yes ] || rm -rf "$scratch"
    [ "$status" -eq 0 ] || echo "release: failed; nothing was left in dist/" >&2
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
rm -rf "$partial"

# ---------------------------------------------------------------------------------------------
# One whole build: release_build WORKDIR DIST

toolchain_packages=(
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
    mingw-w64-common nsis gcc-12 g++-12 libstdc++-12-dev binutils libc6-dev libsqlite3-dev
    libcli11-dev nlohmann-json3-dev cmake ninja-build dpkg-dev tar gzip zip xz-utils help2man
)

# stamp DIR: every file and folder under DIR gets the commit's time
stamp() { find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; }

# zip_of ZIP DIR: a zip of DIR's files in name order, with fixed times and no owner fields
zip_of() {
    stamp "$2"
    (cd "$2" && find . -type f | sed 's|^\./||' | sort | zip -X -D -q -9 "$1" -@)
}

# tar_gz_of TARBALL DIR NAME: DIR as NAME/ in a gzip'ed tar in name order, owned by root
tar_gz_of() {
    stamp "$2"
    tar --sort=name --owner=0 --group=0 --numeric-owner --format=gnu \
        --mtime="@$SOURCE_DATE_EPOCH" -C "$(dirname "$2")" --transform "s|^$(basename "$2")|$3|" \
        -cf - "$(basename "$2")" | gzip -9 -n >"$1"
}

release_build() {
    local work="$1" dist="$2" src="$1/src" log="$1/build.log" step
    mkdir -p "$src" "$dist/winget"
    git archive --format=tar "$commit" | tar -x -C "$src"
    step() { # step DESCRIPTION COMMAND...: runs it with its output in the log, which shows on failure
        [ -z "$1" ] || echo "  $1"
        shift
        "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; die "building failed at: $*"; }
    }
    local release_args=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMORA_RELEASE=ON -DPELMORA_TESTS=OFF
        -DPELMORA_BENCH=OFF -DPELMORA_HOMEPAGE="$homepage")
    local sign_args=()
    if [ "$signing" != no ]; then
        export PELMORA_SIGNATURES_OUT="$dist/signatures"
        sign_args=(-DPELMORA_SIGN_COMMAND="bash $src/tools/release/signing.sh apply")
    fi

    step "x86 binaries" cmake -S "$src" -B "$src/build/win32" "${release_args[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-i686.cmake"
    step "" cmake --build "$src/build/win32" -j "$jobs" --target Pelmora PelmoraExt pelmora-cli PathEntry
    step "x64 binaries" cmake -S "$src" -B "$src/build/win64" "${release_args[@]}" "${sign_args[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake"
    step "" cmake --build "$src/build/win64" -j "$jobs" --target Pelmora PelmoraExt pelmora-cli
    local win64="$src/build/win64" win32="$src/build/win32" linux="$src/build/linux"
    # Signed where they lie, so that Setup packs the signed files; Setup runs the x86 PATH helper.
    local shipped=("x64:$win64/app/Pelmora.exe" "x64:$win64/shellext/PelmoraExt.dll"
        "x64:$win64/cli/pelmora-cli.exe" "x86:$win32/app/Pelmora.exe" "x86:$win32/shellext/PelmoraExt.dll"
        "x86:$win32/cli/pelmora-cli.exe" "x86:$win32/installer/PathEntry.exe") pe sums_before
    if [ "$signing" != no ]; then
        echo "  signing the binaries ($signing)"
        for pe in "${shipped[@]}"; do
            bash "$src/tools/release/signing.sh" apply "${pe#*:}" "${pe%%:*}-$(basename "${pe#*:}")"
        done
    fi
    sums_before="$(for pe in "${shipped[@]}"; do sha256sum "${pe#*:}"; done)"
    step "Setup" cmake --build "$src/build/win64" -j "$jobs" --target PelmoraSetup
    [ "$sums_before" = "$(for pe in "${shipped[@]}"; do sha256sum "${pe#*:}"; done)" ] ||
        die "building Setup rebuilt a binary after it was signed"
    # Debian's hardening flags for the Linux program (the package's checker asks for them).
    local -A flags
    for kind in CPPFLAGS CFLAGS CXXFLAGS LDFLAGS; do
        flags[$kind]="$(cd "$src" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get $kind)"
    done
    step "Linux pelmora-cli" cmake -S "$src" -B "$src/build/linux" "${release_args[@]}" \
        -DCMAKE_C_FLAGS="${flags[CPPFLAGS]} ${flags[CFLAGS]}" \
        -DCMAKE_CXX_FLAGS="${flags[CPPFLAGS]} ${flags[CXXFLAGS]}" \
        -DCMAKE_EXE_LINKER_FLAGS="${flags[LDFLAGS]}"
    step "" cmake --build "$src/build/linux" -j "$jobs" --target pelmora-cli

    step "version blocks" "$system_python" "$src/tools/release/pe_version.py" check "$version" \
        "$win64/app/Pelmora.exe" "$win64/shellext/PelmoraExt.dll" "$win64/cli/pelmora-cli.exe" \
        "$win32/app/Pelmora.exe" "$win32/shellext/PelmoraExt.dll" "$win32/cli/pelmora-cli.exe" \
        "$win32/installer/PathEntry.exe" \
        "$win64/installer/Pelmora-Setup.exe=Pelmora-$version-Setup.exe"
    [ "$("$linux/cli/pelmora-cli" --version)" = "pelmora-cli $version" ] ||
        die "the Linux pelmora-cli does not say it is version $version"

    echo "  packages"
    local setup="Pelmora-$version-Setup.exe" stage="$work/stage" notices="$win64/installer/THIRD-PARTY-NOTICES.txt"
    step "checks: third-party notices" "$system_python" "$src/tools/release/notices.py" check "$notices" \
        "${shipped[@]#*:}" "$linux/cli/pelmora-cli"
    # with_texts DIR: the licence and the notices into a package's folder
    with_texts() {
        install -m 0644 "$src/LICENSE" "$1/LICENSE.txt"
        install -m 0644 "$notices" "$1/THIRD-PARTY-NOTICES.txt"
    }
    cp "$win64/installer/Pelmora-Setup.exe" "$dist/$setup"
    for arch in x64 x86; do
        local from="$win64"
        [ "$arch" = x86 ] && from="$win32"
        rm -rf "$stage" && mkdir -p "$stage"
        install -m 0755 "$from/cli/pelmora-cli.exe" "$stage/pelmora-cli.exe"
        with_texts "$stage"
        zip_of "$dist/pelmora-cli-$version-windows-$arch.zip" "$stage"
    done

    # The manual page, from the program's own --help.
    local man="$work/pelmora-cli.1"
    step "manual page" help2man --no-info --no-discard-stderr --section=1 \
        --name="task lists of files and folders, from a terminal" --output="$man" "$linux/cli/pelmora-cli"

    rm -rf "$stage" && mkdir -p "$stage"
    install -m 0755 "$linux/cli/pelmora-cli" "$stage/pelmora-cli"
    install -m 0644 "$man" "$stage/pelmora-cli.1"
    with_texts "$stage"
    tar_gz_of "$dist/pelmora-cli-$version-linux-x86_64.tar.gz" "$stage" "pelmora-cli-$version-linux-x86_64"

    step "Debian package" debian_package "$work" "$linux/cli/pelmora-cli" "$man" \
        "$dist/pelmora-cli_$version-1_amd64.deb" "$notices"
    step "checks: licence and notices in every package" "$system_python" "$src/tools/release/notices.py" \
        check-artifact "$dist"/*.zip "$dist"/*.tar.gz "$dist"/*.deb

    step "winget manifests" "$system_python" "$src/tools/release/winget.py" write "$dist/winget" "$version" \
        "$dist/$setup" "$release_url/$setup" "$(date -u -d "@$SOURCE_DATE_EPOCH" +%F)"

    (cd "$dist" && find . -type f ! -name SHA256SUMS ! -name BUILDINFO | sed 's|^\./||' | sort |
        xargs sha256sum >SHA256SUMS)
    {
        echo "Pelmora $version"
        echo "commit: $commit"
        echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH"
        echo "SQLite source (sqlite3.c) SHA-256: $(sha256sum "$sqlite_dir/sqlite3.c" | cut -d' ' -f1)"
        echo "SQLite version: $(sed -n 's/^#define SQLITE_VERSION *"\(.*\)"/\1/p' "$sqlite_dir/sqlite3.h")"
        echo "Debian packages of the toolchain:"
        dpkg-query -W -f='  ${Package} ${Version}\n' "${toolchain_packages[@]}"
    } >"$dist/BUILDINFO"

    step "checks: SHA256SUMS" bash -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"
    step "checks: winget manifests" "$system_python" "$src/tools/release/winget.py" check "$dist/winget" "$version" \
        "$dist/SHA256SUMS"
    # The tags left are explained in the README ("Releases").
    step "checks: lintian" lintian --fail-on error,warning,info --display-info \
        --suppress-tags initial-upload-closes-no-bugs,extra-license-file \
        "$dist/pelmora-cli_$version-1_amd64.deb"
}

# debian_package WORK BINARY MANPAGE DEB NOTICES
debian_package() {
    local work="$1" binary="$2" man="$3" deb="$4" notices="$5" root="$1/deb" meta="$1/deb-meta"
    rm -rf "$root" "$meta"
    mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/share/man/man1" "$root/usr/share/doc/pelmora-cli" \
        "$meta/debian"
    install -m 0755 "$binary" "$root/usr/bin/pelmora-cli"
    # The linker's stripping keeps the compilers' notes, which a package has no use for.
    objcopy --remove-section=.comment "$root/usr/bin/pelmora-cli"
    gzip -9 -n -c "$man" >"$root/usr/share/man/man1/pelmora-cli.1.gz"
    cp "$src/packaging/debian/copyright" "$root/usr/share/doc/pelmora-cli/copyright"
    cp "$src/LICENSE" "$root/usr/share/doc/pelmora-cli/LICENSE.txt"
    cp "$notices" "$root/usr/share/doc/pelmora-cli/THIRD-PARTY-NOTICES.txt"
    printf 'pelmora (%s-1) unstable; urgency=medium\n\n  * Release %s; see the project'\''s CHANGELOG.md.\n\n -- %s  %s\n' \
        "$version" "$version" "$maintainer" "$(date -u -R -d "@$SOURCE_DATE_EPOCH")" |
        gzip -9 -n >"$root/usr/share/doc/pelmora-cli/changelog.Debian.gz"
    chmod 0644 "$root/usr/share/man/man1/pelmora-cli.1.gz" "$root/usr/share/doc/pelmora-cli/"*
    # The libraries the program links, as dependencies with the versions it needs.
    printf 'Source: pelmora\n\nPackage: pelmora-cli\nArchitecture: amd64\n' >"$meta/debian/control"
    local depends
    depends="$(cd "$meta" && dpkg-shlibdeps -O -e"$root/usr/bin/pelmora-cli" | sed -n 's/^shlibs:Depends=//p')"
    [ -n "$depends" ] || return 1
    cat >"$root/DEBIAN/control" <<EOF
Package: pelmora-cli
Version: $version-1
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $(du -k -s --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Section: utils
Priority: optional
Homepage: $homepage
Description: task lists of files and folders, from a terminal
 pelmora-cli reads and writes the per-folder task lists of Pelmora: the
 pelmora.db and pelmora.ini files beside a folder's items. It lists, adds,
 edits, marks done, reorders and removes tasks, reports how far each item's
 list is done, and exports and imports a folder's lists as JSON.
EOF
    (cd "$root" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
    chmod 0644 "$root/DEBIAN/md5sums"
    stamp "$root"
    dpkg-deb --root-owner-group -Zxz --build "$root" "$deb"
}

# ---------------------------------------------------------------------------------------------

# The script is read whole before it starts (an edit of the file during a long build cannot change
# what runs).
main() {
    if [ "$verify" = no ]; then
        echo "release: building Pelmora $version from $commit"
        release_build "$scratch/build" "$partial"
    else
        # Two directories of different names and depths; the second build must not find anything of
        # the first.
        echo "release: building Pelmora $version from $commit twice, to compare"
        echo " first build"
        release_build "$scratch/a" "$scratch/a-dist"
        rm -rf "$scratch/a/src"
        echo " second build"
        if [ "$signing" = sign ]; then
            # A rebuild with the first build's signatures attached must give the same bytes.
            echo "  (attaching the first build's signatures)"
            signing=attach
            export PELMORA_SIGNATURES_IN="$scratch/a-dist/signatures"
        fi
        release_build "$scratch/second/build/of/the/release" "$scratch/b-dist"
        rm -rf "$scratch/second"
        differ=()
        while read -r file; do
            cmp -s "$scratch/a-dist/$file" "$scratch/b-dist/$file" 2>/dev/null || differ+=("$file")
        done < <( (cd "$scratch/a-dist" && find . -type f; cd "$scratch/b-dist" && find . -type f) |
            sed 's|^\./||' | sort -u)
        if [ ${#differ[@]} -gt 0 ]; then
            keep_scratch=yes
            echo "release: NOT reproducible: ${#differ[@]} file(s) differ between the two builds:" >&2
            printf '  %s\n' "${differ[@]}" >&2
            echo "release: both builds are kept in $scratch/a-dist and $scratch/b-dist; dist/ was not written" >&2
            trap - EXIT
            rm -rf "$partial"
            exit 1
        fi
        echo "release: reproducible: the two builds agree in every file ($(cd "$scratch/a-dist" && find . -type f | wc -l) files)"
        mv "$scratch/a-dist" "$partial"
    fi

    if [ -n "${PELMORA_GPG_KEY:-}" ]; then
        bash tools/release/signing.sh sums "$partial/SHA256SUMS"
    fi
    rm -rf dist
    mv "$partial" dist
    echo "release: dist/ holds Pelmora $version:"
    (cd dist && sed 's/^/  /' SHA256SUMS)
}
main; exit $?
