#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a user of the
# prefix meets: one version everywhere, manual pages that render without a
# warning, a bash completion that completes.
set -u
build=$1 version=$2 libversion=$3 libdir=$4 gui=$5
prefix=$(mktemp -d "${TMPDIR:-/tmp}/marlo-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }

# One version: trctool, MarloTrc and the shared library's file name.
[ "$("$prefix/bin/trctool" --version)" = "trctool $version" ] || fail "trctool --version: $("$prefix/bin/trctool" --version)"
if [ "$gui" = 1 ]; then
  [ "$(QT_QPA_PLATFORM=offscreen "$prefix/bin/MarloTrc" --version)" = "MarloTrc $version" ] || fail "MarloTrc --version"
  pages="trctool MarloTrc"
else
  pages="trctool"
fi
[ -e "$prefix/$libdir/liblinekit.so.$libversion" ] || fail "liblinekit.so.$libversion missing"

# Manual pages: installed, render without warnings, carry the version.
for page in $pages; do
  file="$prefix/share/man/man1/$page.1"
  [ -f "$file" ] || { fail "$file missing"; continue; }
  warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
  MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "MarloTrc $version" || fail "$page.1 lacks the version"
  MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q -- "--version" || fail "$page.1 does not document --version"
done

# Bash completion: commands, options per command, option values.
completion="$prefix/share/bash-completion/completions/trctool"
[ -f "$completion" ] || fail "$completion missing"
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _trctool; echo "${COMPREPLY[*]}"' \
    _ "$completion" "$@"
}
while IFS='|' read -r words expected; do
  read -r -a argv <<<"$words"
  [[ $words == *" " ]] && argv+=("")
  got=$(complete_words "${argv[@]}")
  [ "$got" = "$expected" ] || fail "completing '$words': '$got', expected '$expected'"
done <<'CASES'
trctool cap|capture
trctool --v|--version
trctool capture --co|--count
trctool dump -|--tree --detail --hex -Y --help
trctool capture --fo|--force --format
trctool capture --format |log pcapng pcap
trctool export --format p|pcapng pcap
trctool export --f|--format --force
trctool stats --|--reset --watch --adapter --help
CASES

# The packet analyser finds trctool in the prefix's extcap folder.
extcap=$(find "$prefix/$libdir" "$prefix/lib" -path '*/wireshark/extcap/trctool' 2>/dev/null | head -1)
if [ -z "$extcap" ]; then
  fail "no trctool in a lib/*/wireshark/extcap folder"
elif ! "$extcap" --extcap-interfaces | grep -q '^interface {value=OrinBri1}'; then
  fail "$extcap does not list the adapters"
fi

# Nothing test-only ships: no test variant of a library is installed, and
# no installed library or program holds test-only code (the Tpx library's
# shorter waits, the platform's open handle counts, driver removal and
# registry key count, the emulated card's fault setters, request log and
# inspection calls, the windows' test peers).
testonly='WaitLimit|HandleCount|UnregisterDeviceDriver|8Registry8KeyCount|UninstallCard|4Card(8SetStall|13SetUnanswered|9SetRefuse|6Unplug|8Messages|8Requests|8ClearLog|15TraceFramesSent|8Counters)E|SetUiServices|MainFramePeer|MarloTrcDocPeer'
variants=$(find "$prefix" -name '*-testing*')
[ -z "$variants" ] || fail "test variants installed: $variants"
shipped=$(find "$prefix/bin" "$prefix/$libdir" -maxdepth 1 -type f \( -name '*.so*' -o -perm -u+x \))
[ -n "$shipped" ] || fail "no installed programs or libraries to look into"
for file in $shipped; do
  found=$(grep -aoE "$testonly" "$file" | sort -u | tr '\n' ' ')
  [ -z "$found" ] || fail "$file holds test-only code: $found"
done
case "$shipped" in *libmarlocardsim.so*) ;; *) fail "libmarlocardsim.so not installed" ;; esac
case "$shipped" in *libmarloplatform.so*) ;; *) fail "libmarloplatform.so not installed" ;; esac

[ "$failures" -eq 0 ] && echo "install tree OK"
exit $((failures > 0))
