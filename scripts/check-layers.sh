#!/usr/bin/env bash
# Fails when a source file includes a project header from a layer it must not depend on. The
# layers, bottom up: text/ (text conversions); store/ (SQLite, the status-file format, the folder
# key; its Windows bindings may use win/); tasks/ (the rules of a task list) and beside it walk/
# (the walk over a folder tree, whose Windows file may use win/); then the front ends
# app/, cli/ and shellext/, which never include one another. win/ is the one Win32 toolbox
# (header-only holders and helpers) for every Windows part: store's and cli/'s Windows files,
# app/, shellext/ and installer/.
# bench/ measures the portable layers and the command line, fuzz/ shakes the portable layers;
# tests/ may include anything.
# Inside store/, its common base (folder key, folder files, the platform's file operations) is
# below the status file (store/status/), which is below the database (store/sqlite/): the base
# includes neither, the status file never the database.
# SQLite's header (quoted or in angle brackets) belongs to store/sqlite/ alone; tests/ and bench/
# may use it to make files and to measure against bare SQLite.
#
#   check-layers.sh [ROOT]     ROOT defaults to the repository this script belongs to
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"

allowed() {
    case "$1" in
        text) echo "text" ;;
        store) echo "text store win" ;;
        tasks) echo "text store tasks" ;;
        walk) echo "text store win walk" ;;
        win) echo "win" ;;
        app) echo "text store tasks walk win app" ;;
        cli) echo "text store tasks walk win cli" ;;
        shellext) echo "text store win shellext" ;;
        installer) echo "text win installer" ;;
        bench) echo "text store tasks walk cli win bench tests" ;;
        fuzz) echo "text store tasks fuzz" ;;
        *) echo "*" ;;
    esac
}

status=0
while IFS= read -r -d '' file; do
    rel="${file#"$root"/}"
    layer="${rel%%/*}"
    may="$(allowed "$layer")"
    [ "$may" = "*" ] && continue
    while IFS= read -r hit; do
        line="${hit%%:*}"
        target="$(printf '%s' "$hit" | sed -n 's/.*#[[:space:]]*include[[:space:]]*"\([A-Za-z0-9_.-]*\)\/.*/\1/p')"
        [ -n "$target" ] || continue
        [ -d "$root/$target" ] || continue
        case " $may " in
            *" $target "*) ;;
            *)
                echo "$rel:$line: $layer/ must not include $target/ (it may include: $may)" >&2
                status=1
                ;;
        esac
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
    if [ "$layer" = store ]; then
        case "$rel" in
            store/sqlite/*) floor=sqlite may_floors="status sqlite" ;;
            store/status/*) floor=status may_floors="status" ;;
            *) floor=base may_floors="" ;;
        esac
        while IFS= read -r hit; do
            sub="$(printf '%s' "$hit" | sed -n 's/.*#[[:space:]]*include[[:space:]]*"store\/\([a-z]*\)\/.*/\1/p')"
            [ -n "$sub" ] || continue
            case " $may_floors " in
                *" $sub "*) ;;
                *)
                    echo "$rel:${hit%%:*}: store's $floor must not include store/$sub/" >&2
                    status=1
                    ;;
            esac
        done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"store/' "$file" || true)
    fi
    case "$rel" in
        store/sqlite/* | bench/*) continue ;;
    esac
    while IFS= read -r hit; do
        echo "$rel:${hit%%:*}: only store/sqlite/ may include sqlite3.h" >&2
        status=1
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]sqlite3\.h[>"]' "$file" || true)
done < <(find "$root" \( -path "$root/build" -o -path "$root/.git" \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.rc' \) -print0)

if [ "$status" -eq 0 ]; then echo "layers: every include goes downwards"; fi
exit "$status"
