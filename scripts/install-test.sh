#!/usr/bin/env bash
# Installs the package that scripts/package.sh made (or the .deb named after the command) on a
# clean Debian 12 root, made with debootstrap --variant=minbase in a temporary folder, with nothing
# but its declared dependencies, and checks the installed program there:
#   - quillnote --version prints the version, and the conversion helper (when packaged) starts;
#   - a headless start creates ~/.local/share/Quillnote/Quillnote.mdb holding TipsTable, and nothing
#     beside the program in /usr/bin, although root could write there;
#   - the desktop entry's command line opens the .mdb file it is given (a name with a blank);
#   - apt-get remove, and purge, leave the user's archives alone.
# Needs root (debootstrap, chroot, mount) and Debian's archive (QN_MIRROR, default deb.debian.org).
# Takes a few minutes, mostly downloading: it is not part of CI.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "Serve root: debootstrap, chroot e mount."; exit 1; }
scripts/install-deps.sh --packaging
deb=${1:-}
if [ -z "$deb" ]; then
    debs=(build-package/quillnote_*.deb)
    deb=${debs[0]}
fi
[ -f "$deb" ] || { echo "Manca il pacchetto: eseguire prima scripts/package.sh."; exit 1; }
mirror=${QN_MIRROR:-http://deb.debian.org/debian}

root=$(mktemp -d /var/tmp/quillnote-root.XXXXXX)
chmod 755 "$root" # apt's own user downloads into it
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null
    for m in dev/pts dev proc; do
        mountpoint -q "$root/$m" && umount -l "$root/$m"
    done
    rm -rf --one-file-system "$root"
}
trap cleanup EXIT

fail() {
    echo "ERRORE: $*" >&2
    [ -f "$root/tmp/quillnote.log" ] && sed 's/^/    /' "$root/tmp/quillnote.log" >&2
    exit 1
}
# A clean environment inside the root, as a user's login would give (no display, no XDG_*).
in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
running() { local state; state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]; }
# True while the engine of a running program holds `file`: another process cannot lock it.
held() { ! sqlite3 "$1" "BEGIN EXCLUSIVE; COMMIT;" 2>/dev/null; }
# Starts the installed program headless with the given arguments and waits until it has held
# `file` for a second: the window's archive, not the short opening that creates a new one.
start_holding() { # file, arguments...
    local file=$1 since=0
    shift
    # exec: $! is then the program itself, not a shell around it.
    (exec chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
        "$@" >"$root/tmp/quillnote.log" 2>&1) &
    program=$!
    for tick in $(seq 100); do
        running "$program" || fail "il programma è terminato da solo"
        if [ -f "$file" ] && held "$file"; then
            [ "$since" -gt 0 ] || since=$tick
            [ $((tick - since)) -lt 5 ] || return 0
        else
            since=0
        fi
        sleep 0.2
    done
    fail "dopo 20 s il programma non tiene aperto ${file#"$root"}"
}
stop_program() {
    kill "$program"
    wait "$program" 2>/dev/null || true
    program=""
}

started=$SECONDS
echo "== debootstrap --variant=minbase bookworm in $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    { tail -20 "$root.debootstrap.log"; rm -f "$root.debootstrap.log"; exit 1; }
rm -f "$root.debootstrap.log"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
# No services start inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/quillnote.deb"
echo "   $((SECONDS - started)) s"

echo "== apt-get install ./$(basename "$deb") (senza i pacchetti raccomandati)"
in_root apt-get update -q >/dev/null
in_root DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends /tmp/quillnote.deb |
    tail -1
echo "   $((SECONDS - started)) s"

echo "== quillnote --version"
version=$(in_root quillnote --version)
[ "$version" = "Quillnote 1.0.0" ] || fail "quillnote --version ha scritto \"$version\""
in_root quillnote --help | grep -q "^Uso: quillnote" || fail "quillnote --help non mostra l'uso"
# The conversion helper, when packaged, starts: its libraries (libmdb) came with the package.
# Without arguments it refuses with status 2; a missing library would give 127.
if [ -e "$root/usr/bin/quillnote-import" ]; then
    status=0
    in_root quillnote-import >/dev/null 2>&1 || status=$?
    [ "$status" -eq 2 ] || fail "quillnote-import senza argomenti è terminato con lo stato $status"
fi
for file in /usr/share/qt6/translations/qtbase_it.qm /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf; do
    [ -f "$root$file" ] || fail "manca $file: le dipendenze del pacchetto non lo portano"
done

echo "== avvio senza archivio (QT_QPA_PLATFORM=offscreen)"
archive=$root/root/.local/share/Quillnote/Quillnote.mdb
[ ! -e "$archive" ] || fail "l'archivio esiste prima del primo avvio"
start_holding "$archive" quillnote
stop_program
[ ! -e "$root/usr/bin/Quillnote.mdb" ] || fail "l'archivio è stato creato in /usr/bin"
tables=$(sqlite3 "$archive" "SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'TipsTable'")
[ "$tables" = TipsTable ] || fail "~/.local/share/Quillnote/Quillnote.mdb non contiene TipsTable"

echo "== apertura di un .mdb come dal gestore dei file"
other="$root/root/Documenti/altri tips.mdb"
mkdir -p "$(dirname "$other")"
cp "$archive" "$other"
# The desktop entry's own command, with %f replaced by the file, as one argument.
read -ra command <<<"$(sed -n 's/^Exec=//p' "$root/usr/share/applications/org.example.quillnote.desktop")"
for i in "${!command[@]}"; do
    [ "${command[$i]}" = %f ] && command[$i]=${other#"$root"}
done
start_holding "$other" "${command[@]}"
held "$archive" && fail "il programma ha aperto l'archivio predefinito invece di ${other#"$root"}"
stop_program
echo "   Messaggi del programma:"
sed 's/^/    /' "$root/tmp/quillnote.log"

echo "== apt-get remove e purge"
before=$(sha256sum "$archive" "$other")
in_root DEBIAN_FRONTEND=noninteractive apt-get remove -y -q quillnote >/dev/null
[ ! -e "$root/usr/bin/quillnote" ] || fail "/usr/bin/quillnote è rimasto dopo apt-get remove"
# The package has no configuration files, so remove leaves nothing to purge: dpkg says so.
in_root dpkg --purge quillnote
status=$(in_root dpkg-query -W -f='${db:Status-Status}' quillnote 2>/dev/null || true)
[ "$status" != installed ] || fail "quillnote risulta ancora installato"
[ "$(sha256sum "$archive" "$other")" = "$before" ] || fail "la rimozione ha toccato gli archivi dell'utente"
echo "Installazione provata in $((SECONDS - started)) s: tutto a posto."
