#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and runs the installed programs
# as an administrator's user would after installing the package: the
# components registered in the machine's class store of that tree (as the
# package's postinst does), a fresh user store, the installed demo data. The
# dynamic loader's log (LD_DEBUG=libs) must not name the build folder, nor
# may any RUNPATH, nor may the log name the source folder.
#   install_test.sh BUILD_DIR PREFIX LIBDIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
prefix="$2"
libdir="$3"
source="$(cd "$4" && pwd)"

work="$(mktemp -d "${TMPDIR:-/tmp}/tvn-install-XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

DESTDIR="$work/root" cmake --install "$build" >"$work/install.log" || {
    cat "$work/install.log" >&2
    fail "cmake --install failed"
}
root="$work/root$prefix"
lib="$root/$libdir/tolvane"
share="$root/share/tolvane"

# The layout.
for program in tvn quillon-host kddir-check regsrv kdclient regvalue tolvane-console tolvane-demo; do
    [ -x "$root/bin/$program" ] || fail "bin/$program is not installed"
    [ -f "$root/share/man/man1/$program.1.gz" ] || fail "no manual page for $program"
done
for library in libplatform_automation.so libplatform_framework.so liboutside_directory.so \
    libkdclient.so libvestant.so libvesta95.so libportant.so libporta95.so libkddir.so \
    libquillon.so; do
    [ -e "$lib/$library" ] || fail "$libdir/tolvane/$library is not installed"
done
[ -L "$lib/libvesta95.so" ] || fail "libvesta95.so is not a link to the login library"
for file in "$share/Tvn.hlp" "$root/share/applications/tolvane.desktop" \
    "$root/share/icons/hicolor/scalable/apps/tolvane.svg" \
    "$root/share/icons/hicolor/48x48/apps/tolvane.png" \
    "$share/demo/directory.ldif" "$share/demo/network.json" \
    "$root/share/doc/tolvane/copyright" "$root/share/doc/tolvane/README.md" \
    "$root/share/doc/tolvane/demo/README.md"; do
    [ -f "$file" ] || fail "${file#"$root"/} is not installed"
done
[ -d "$share/demo/network/FS1/SYS/PUBLIC/WIN32" ] || fail "the demo network is not installed"
# The consoles' settings; the login publisher: the program, its configuration, the PAM profile
# (disabled by default), the sweep's unit and the manual page.
[ -x "$root/sbin/tolvane-logon" ] || fail "sbin/tolvane-logon is not installed"
for file in "$work/root/etc/tolvane/logon.conf" "$work/root/etc/tolvane/consoles.conf" \
    "$root/share/pam-configs/tolvane" \
    "$work/root/usr/lib/systemd/system/tolvane-logon-sweep.service" \
    "$root/share/man/man8/tolvane-logon.8.gz" "$root/share/doc/tolvane-logon/copyright"; do
    [ -f "$file" ] || fail "${file#"$work/root"/} is not installed"
done
grep -q '^Default: no$' "$root/share/pam-configs/tolvane" ||
    fail "the PAM profile would be enabled without the administrator's choice"

# Every installed ELF file finds its libraries relative to itself.
for file in "$root"/bin/* "$lib"/*; do
    [ -L "$file" ] && continue
    head -c 4 "$file" | grep -q ELF || continue
    runpath="$(readelf -d "$file" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')"
    case "$runpath" in *"$build"*) fail "$file has the RUNPATH $runpath" ;; esac
    case "$(basename "$file")" in regvalue) continue ;; esac
    case "$runpath" in '$ORIGIN'*) ;; *) fail "$file has no RUNPATH relative to itself: '$runpath'" ;; esac
done

# A user of the installed tree: nothing of the build's environment.
unset TVN_LIBRARY_PATH LD_LIBRARY_PATH KDDIR_SOURCE KDDIR_SNAPSHOT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export REGISTRY_DB="$work/home/registry.db"
export MACHINE_REGISTRY_DB="$work/root/var/lib/tolvane/classes.db"
export QT_QPA_PLATFORM=offscreen

for component in libkddir.so libquillon.so; do
    "$root/bin/regsrv" --machine "$lib/$component" >"$work/regsrv.log" 2>&1 || {
        cat "$work/regsrv.log" >&2
        fail "regsrv --machine $component"
    }
done
[ ! -e "$REGISTRY_DB" ] || fail "registering for the machine wrote the user's store"

# Runs an installed program with the loader's log; fails when the log names
# the build or the source folder.
traced() {
    local name="$1"
    shift
    local status=0
    LD_DEBUG=libs LD_DEBUG_OUTPUT="$work/$name.ld" "$@" >"$work/$name.out" 2>"$work/$name.err" ||
        status=$?
    if grep -h -F -e "$build" -e "$source" "$work/$name.ld".* >"$work/$name.leak"; then
        head -5 "$work/$name.leak" >&2
        fail "$name used the build or the source folder"
    fi
    return $status
}

traced kddir-check "$root/bin/kddir-check" "$share/demo/directory.ldif" || {
    cat "$work/kddir-check.err" >&2
    fail "kddir-check on the installed demo directory"
}
grep -q "a usable directory" "$work/kddir-check.out" || fail "kddir-check did not call the directory usable"
grep -q "dc=CorpTree\|CorpTree" "$work/kddir-check.out" || fail "kddir-check did not list CorpTree"

# Nothing configured: the reason and what to do, on standard error.
status=0
"$root/bin/tvn" '/dbbuild=KTR:\\CorpTree\Acme' /autoclose >"$work/nosource.out" \
    2>"$work/nosource.err" || status=$?
[ "$status" = 1 ] || fail "tvn without a directory source ended with $status, not 1"
grep -q "^tvn: no directory source: set KDDIR_SOURCE or the registry value" "$work/nosource.err" || {
    cat "$work/nosource.err" >&2
    fail "tvn without a directory source did not say so"
}
# Without a display a window cannot come: said in one line, status 2.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/tvn" >"$work/nodisplay.out" \
    2>"$work/nodisplay.err" || status=$?
[ "$status" = 2 ] || fail "tvn without a display ended with $status, not 2"
[ "$(wc -l <"$work/nodisplay.err")" = 1 ] && grep -q "^tvn: a display is needed" "$work/nodisplay.err" ||
    fail "tvn without a display: $(cat "$work/nodisplay.err")"

cp -R "$share/demo/network" "$work/network"
export UNC_ROOT="$work/network"
export KDDIR_SOURCE="$share/demo/directory.ldif"
export KDCLIENT_NETWORK="$share/demo/network.json"
export KDCLIENT_STATE="$work/run/session.json"
# The installed console finds a workstation through the installed directory
# control, and says why it cannot reach it.
status=0
CONSOLES_CONF="$work/none.conf" traced console env -u DISPLAY -u WAYLAND_DISPLAY \
    "$root/bin/tolvane-console" -wHH-WS001.Hamburg.Nordwerk.DE -nCorpTree -cPing || status=$?
[ "$status" = 1 ] && grep -q "HH-WS001 has no TCP address in the directory" "$work/console.err" || {
    cat "$work/console.err" >&2
    fail "the installed tolvane-console ended with $status"
}

mkdir -p "$work/db"
dbpath="Z:$(printf '%s' "$work/db" | tr / '\\')"
traced tvn "$root/bin/tvn" '/dbbuild=KTR:\\CorpTree\Acme' /autoclose "/dbpath=$dbpath" || {
    cat "$work/tvn.err" >&2
    fail "the unattended database build of the installed tvn"
}
[ -s "$work/db/CorpTree.lst" ] || fail "tvn built no database CorpTree.lst"
grep -q "WS042" "$work/db/CorpTree.lst" || fail "the database lacks WS042 of Acme\\Sales"
if grep -q "Nordwerk" "$work/db/CorpTree.lst"; then fail "the database holds workstations outside Acme"; fi
grep -h -q "calling init: $lib/libkddir.so" "$work/tvn.ld".* ||
    fail "tvn did not load the installed directory control"

traced info "$root/bin/quillon-host" info QuillonLib.QuillonCtrl.1 || {
    cat "$work/info.err" >&2
    fail "quillon-host info on the installed session control"
}
grep -q "^Server: *$lib/libquillon.so" "$work/info.out" || {
    cat "$work/info.out" >&2
    fail "the session control is not registered with its installed path"
}
# The demo command on the installed tree: its own state, the components of
# the machine's class store.
export XDG_STATE_HOME="$work/state"
traced demo "$root/bin/tolvane-demo" --shell -c 'quillon-host call QuillonLib.QuillonCtrl.1 ServerNames' || {
    cat "$work/demo.err" >&2
    fail "tolvane-demo --shell"
}
grep -q "^FS1$" "$work/demo.out" || fail "the demo's session control did not list FS1"
for tree in CorpTree LabTree; do
    [ -s "$work/state/tolvane-demo/$tree.lst" ] || fail "tolvane-demo built no database of $tree"
    # The first run's choices of attributes to show, as scripts/demo makes them.
    chosen="$(REGISTRY_DB="$work/state/tolvane-demo/registry.db" "$root/bin/regvalue" \
        "Software\\Application Settings\\Tolvane\\KTR User\\$tree" "Full Name")" ||
        fail "tolvane-demo ticked no user attributes for $tree"
    [ "$chosen" = 1 ] || fail "tolvane-demo ticked Full Name of $tree as '$chosen'"
    REGISTRY_DB="$work/state/tolvane-demo/registry.db" "$root/bin/regvalue" \
        "Software\\Application Settings\\Tolvane\\KTR Workstation\\$tree" "RJ:Network Address" \
        >/dev/null || fail "tolvane-demo ticked no workstation attributes for $tree"
done

echo "installed tree in $root: all checks passed"
