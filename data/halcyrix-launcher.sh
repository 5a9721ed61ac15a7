#!/bin/sh
# Starts Halcyrix from its installed application directory (../lib/halcyrix beside this script).
# The program keeps its settings file and station database in its application directory. When
# the installed directory cannot be written (a system-wide install), each user gets an own copy
# of the settings file and the database in ~/.local/share/halcyrix on the first start, and the
# program runs on that copy.
here=$(dirname "$(readlink -f "$0")")
appdir=$(cd "$here/../lib/halcyrix" && pwd) || exit 1

if [ -z "$HALCYRIX_HOME" ]; then
    db=$(sed -n 's/^DataBase[^=]*=//p' "$appdir/Tuner.ini" 2>/dev/null | tr -d '\r' | tail -n 1 \
         | sed 's/^ *//; s/ *$//')
    [ -n "$db" ] || db=Halcyrix.db
    if [ ! -w "$appdir" ] || [ ! -w "$appdir/Tuner.ini" ] || [ ! -w "$appdir/$db" ]; then
        home="${XDG_DATA_HOME:-$HOME/.local/share}/halcyrix"
        mkdir -p "$home" || exit 1
        for f in Tuner.ini "$db"; do
            if [ ! -e "$home/$f" ] && [ -e "$appdir/$f" ]; then
                cp "$appdir/$f" "$home/$f" && chmod u+w "$home/$f"
            fi
        done
        # Help and icon are read only: they follow the installed copy.
        for f in Halcyrix.html halcyrix.png; do
            [ -e "$appdir/$f" ] && ln -sf "$appdir/$f" "$home/$f"
        done
        HALCYRIX_HOME="$home"
        export HALCYRIX_HOME
    fi
fi
exec "$appdir/halcyrix" "$@"
