#!/bin/bash
# The process-launching service is in varnok and nowhere in zembra: varnok's undefined symbols
# name a way of starting a process or a program, zembra's none.
pattern='^(posix_spawn[a-z_]*|fork|vfork|_Fork|clone|clone3|exec[lv][pe]*|fexecve|system|popen|xdg_open)(@.*)?$'
launching() { nm -D --undefined-only "$1" | awk '{print $2}' | grep -E "$pattern" | xargs; }
varnok=$(launching "$1") zembra=$(launching "$2")
echo "varnok starts programs through: ${varnok:-nothing}; zembra through: ${zembra:-nothing}"
[ -n "$varnok" ] && [ -z "$zembra" ] && echo PASS
