#!/bin/bash
# The process-launching service is in varnok and nowhere in zembra: zembra's undefined
# symbols name no way of starting a process or a program, while varnok's do.
set -u
varnok=$1 zembra=$2
pattern='^(posix_spawn[a-z_]*|fork|vfork|_Fork|clone|clone3|exec[lv][pe]*|fexecve|system|popen|xdg_open)(@.*)?$'
launching() { nm -D --undefined-only "$1" | awk '{print $2}' | grep -E "$pattern"; }
status=0
v=$(launching "$varnok")
z=$(launching "$zembra")
if [ -n "$v" ]; then echo "varnok starts programs through: $(echo $v)"; else echo "FAIL: varnok names no process start"; status=1; fi
if [ -z "$z" ]; then echo "zembra names none"; else echo "FAIL: zembra names $(echo $z)"; status=1; fi
exit $status
