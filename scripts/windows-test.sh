#!/usr/bin/env bash
# Builds Solvard.dll for both Windows architectures, checks what each file imports, exports and
# carries, then drives the 64-bit one under Wine the way a script host does: registration, the
# VBScript and JScript suites against the terminal simulator on COM1, unregistration, the
# unit tests of the core and the DLL, and the message box shown under Xvfb. Every Wine step is
# bounded by `timeout`; the run stops the simulator, Xvfb and Wine's server on the way out. Exits non-zero if any stage fails.
#
# Options:
#   --no-install   do not look for missing packages
#   --no-build     use the builds as they are (build/mingw-x64, build/mingw-x86, build/linux)
#   --no-unit      skip the core's unit tests under Wine
#   --suite NAME   run only this suite (repeatable), e.g. --suite attend.vbs
# Environment:
#   SOLVARD_WINE_WORK  folder for the prefix, simulator, databases and logs
#                      (default build/windows-test; emptied at the start)
#   SOLVARD_TOOL       the native `solvard` program with `simulate` (default build/linux/tools/solvard)
#   SOLVARD_JOBS       build jobs (default 1)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
root=$PWD

install=1 build=1 unit=1
only_suites=()
while [ $# -gt 0 ]; do
  case "$1" in
    --no-install) install=0 ;;
    --no-build) build=0 ;;
    --no-unit) unit=0 ;;
    --suite) only_suites+=("$2"); shift ;;
    *) echo "windows-test: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

work="${SOLVARD_WINE_WORK:-$root/build/windows-test}"
tool="${SOLVARD_TOOL:-$root/build/linux/tools/solvard}"
jobs="${SOLVARD_JOBS:-1}"
scripts_dir="$root/tests/windows/scripts"

# The port the simulator answers on, and one mapped to a device that is not there. Wine gives
# the machine's own /dev/ttyS0 the lowest free number, so neither may be left to chance.
sim_port=COM1
missing_port=COM7

# The simulated line: attendance terminal 5 and door terminals 3 and 4, three sample records
# each. Terminal 9 is played by nobody.
sim_args=(--attend 5 --door 3 --door 4 --records 3)

# The identifiers the library registers under (src/component/identifiers.hpp).
ident() { sed -n "s/.*$1 = \"\({[0-9A-F-]*}\)\".*/\1/p" "$root/src/component/identifiers.hpp"; }
typelib=$(ident kTypeLibrary)
attend_class=$(ident kAttendClass)
attend_iface=$(ident kAttendInterface)
prohibit_class=$(ident kProhibitClass)
prohibit_iface=$(ident kProhibitInterface)

# ---- stages and their times -------------------------------------------------------------------
stage_names=() stage_secs=() stage_results=()
failed=0
now() { date +%s.%N; }
# run_stage NAME FUNCTION: runs it, records how long it took and whether it passed.
run_stage() {
  local name=$1 fn=$2 begin end rc
  echo "=== $name"
  begin=$(now)
  "$fn"
  rc=$?
  end=$(now)
  stage_names+=("$name")
  stage_secs+=("$(awk -v a="$begin" -v b="$end" 'BEGIN { printf "%.1f", b - a }')")
  if [ $rc -eq 0 ]; then stage_results+=(ok); else stage_results+=(FAILED); failed=1; fi
  return $rc
}
skip_stage() {
  echo "=== $1: skipped ($2)"
  stage_names+=("$1") stage_secs+=(-) stage_results+=("skipped: $2")
}
summary() {
  echo
  echo "windows-test: stage times"
  local i
  for i in "${!stage_names[@]}"; do
    printf '  %-34s %7s s  %s\n' "${stage_names[$i]}" "${stage_secs[$i]}" "${stage_results[$i]}"
  done
}
# fail MESSAGE: says what went wrong and fails the caller's check.
fail() { echo "windows-test: FAIL: $*" >&2; return 1; }

# ---- packages ---------------------------------------------------------------------------------
# The message boxes are drawn with fonts of their own: Wine's MS Sans Serif (fonts-wine) and a
# Chinese face for the zh-CN module's text (fonts-wqy-microhei), whatever else the machine has.
packages=(mingw-w64 mingw-w64-tools libwine-dev wine wine64 xvfb xdotool socat sqlite3 imagemagick
  python3 locales libsqliteodbc unixodbc cmake make file binutils fonts-wine fonts-wqy-microhei)
stage_install() {
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  # A 32-bit Wine breaks the 64-bit one on this kind of machine.
  if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q "install ok installed"; then
    fail "wine32 is installed; it breaks the 64-bit Wine these tests use" || return 1
  fi
  [ ${#missing[@]} -eq 0 ] && { echo "all packages present"; return 0; }
  echo "installing ${missing[*]}"
  local as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
}

# ---- builds -----------------------------------------------------------------------------------
stage_build_x64() {
  # The unit tests need a googletest built for MinGW; without one the DLL is still built and the
  # unit-test stage reports the gap.
  # ON explicitly: a cache left from a DLL-only configuration would otherwise keep them off.
  if ! cmake --preset mingw-x64 -DSOLVARD_BUILD_TESTS=ON >"$work/logs/configure-x64.log" 2>&1; then
    echo "mingw-x64 with tests does not configure (see logs/configure-x64.log); building the DLL alone"
    cmake --preset mingw-x64 -DSOLVARD_BUILD_TESTS=OFF >>"$work/logs/configure-x64.log" 2>&1 ||
      { tail -20 "$work/logs/configure-x64.log"; return 1; }
  fi
  # The DLL first, so that a test program that does not compile cannot keep the DLL from the
  # stages that need it; then everything else, going on past a failure to build what can be.
  # (grep reads to the end: with pipefail, -q would fail the pipe it cuts short.)
  if cmake --build build/mingw-x64 --target help 2>/dev/null | grep -x '\.\.\. Solvard' >/dev/null; then
    nice -n 10 cmake --build build/mingw-x64 -j "$jobs" --target Solvard >"$work/logs/build-x64-dll.log" 2>&1 ||
      { tail -30 "$work/logs/build-x64-dll.log"; return 1; }
  fi
  nice -n 10 cmake --build build/mingw-x64 -j "$jobs" -- -k >"$work/logs/build-x64.log" 2>&1 ||
    { grep -E 'error:|Error [0-9]' "$work/logs/build-x64.log" | sed 's/ \[-Werror.*//' | cut -c1-240 |
        sort -u | head -10; return 1; }
}
stage_build_x86() {
  { cmake --preset mingw-x86 && nice -n 10 cmake --build build/mingw-x86 -j "$jobs"; } \
    >"$work/logs/build-x86.log" 2>&1 || { tail -30 "$work/logs/build-x86.log"; return 1; }
}
stage_build_tool() {
  { cmake --preset linux && nice -n 10 cmake --build build/linux -j "$jobs" --target solvard; } \
    >"$work/logs/build-linux-tool.log" 2>&1 || { tail -30 "$work/logs/build-linux-tool.log"; return 1; }
}

find_dll() { find "$1" -name Solvard.dll -type f 2>/dev/null | head -1; }

# ---- static checks ----------------------------------------------------------------------------
# DLLs a Windows installation always has; anything else (libstdc++-6.dll, libwinpthread-1.dll,
# libgcc_s_*.dll) would be missing on a clean machine.
system_dlls='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|odbc32|comctl32|comdlg32|shell32|shlwapi|rpcrt4|version|msvcrt|ucrtbase|ws2_32|api-ms-win-crt-[a-z0-9-]+)\.dll$'
check_dll() {
  local arch=$1 dll=$2 objdump=$3 dump ok=0 imports name
  dump=$("$objdump" -p "$dll") || { fail "$objdump cannot read $dll"; return 1; }
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")
  echo "$arch imports: $(tr '\n' ' ' <<<"$imports")"
  while read -r name; do
    [ -z "$name" ] && continue
    grep -qiE "$system_dlls" <<<"$name" || { fail "$arch: imports $name, not a system DLL"; ok=1; }
  done <<<"$imports"
  # Exported by their plain names: a 32-bit build without a .def file would export
  # DllGetClassObject@12 and the like, which no COM runtime looks for.
  local exports
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/.*\] //p')
  for name in DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer; do
    grep -qx "$name" <<<"$exports" || { fail "$arch: $name is not exported undecorated (exports: $(tr '\n' ' ' <<<"$exports"))"; ok=1; }
  done
  # The resource directory: at its top level a type named "TYPELIB" (the type library a host
  # reads through LoadTypeLib) and type 16 (the version resource). Lower levels are names and
  # languages, hence the exact indentation of a top-level entry.
  local rsrc
  rsrc=$(sed -n '/^The .rsrc Resource Directory section/,$p' <<<"$dump")
  [ -n "$rsrc" ] || { fail "$arch: no resource directory"; return 1; }
  grep -qE '^[0-9a-f]+   Entry: name: .*: TYPELIB,' <<<"$rsrc" || { fail "$arch: no TYPELIB resource"; ok=1; }
  grep -qE '^[0-9a-f]+   Entry: ID: 0x0*10,' <<<"$rsrc" || { fail "$arch: no version resource"; ok=1; }
  # Image1's icon: types 3 (the image) and 14 (the icon group).
  grep -qE '^[0-9a-f]+   Entry: ID: 0x0*0?e,' <<<"$rsrc" || { fail "$arch: no icon resource"; ok=1; }
  # Installers register a file whose version information says it can register itself.
  strings -el "$dll" | grep -x OLESelfRegister >/dev/null || { fail "$arch: the version resource lacks OLESelfRegister"; ok=1; }
  return $ok
}
stage_static() {
  local dll64 dll86 ok=0
  dll64=$(find_dll build/mingw-x64)
  dll86=$(find_dll build/mingw-x86)
  [ -n "$dll64" ] || { fail "no Solvard.dll in build/mingw-x64"; ok=1; }
  [ -n "$dll86" ] || { fail "no Solvard.dll in build/mingw-x86"; ok=1; }
  [ -n "$dll64" ] && {
    file -b "$dll64" | grep 'x86-64' >/dev/null || { fail "$dll64 is not a 64-bit DLL: $(file -b "$dll64")"; ok=1; }
    check_dll x64 "$dll64" x86_64-w64-mingw32-objdump || ok=1
  }
  [ -n "$dll86" ] && {
    file -b "$dll86" | grep 'Intel 80386\|Intel i386' >/dev/null || { fail "$dll86 is not a 32-bit DLL: $(file -b "$dll86")"; ok=1; }
    check_dll x86 "$dll86" i686-w64-mingw32-objdump || ok=1
  }
  # The language modules: string tables only, no code, no entry point, no imports.
  local lang dump
  for lang in en zh-CN; do
    for dump in build/mingw-x64 build/mingw-x86; do
      local file
      file=$(find "$dump" -name "Solvard.$lang.dll" -type f 2>/dev/null | head -1)
      [ -n "$file" ] || { fail "no Solvard.$lang.dll in $dump"; ok=1; continue; }
      local text
      text=$(x86_64-w64-mingw32-objdump -p "$file" 2>/dev/null) || { fail "cannot read $file"; ok=1; continue; }
      grep -qE '^AddressOfEntryPoint[[:space:]]+0+$' <<<"$text" || { fail "$file has an entry point"; ok=1; }
      grep -q 'DLL Name:' <<<"$text" && { fail "$file imports: $(sed -n 's/.*DLL Name: //p' <<<"$text" | tr '\n' ' ')"; ok=1; }
      grep -qE '^[0-9a-f]+   Entry: ID: 0x0*6,' <<<"$text" || { fail "$file holds no string table"; ok=1; }
    done
  done
  return $ok
}

# ---- Wine -------------------------------------------------------------------------------------
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export WINEPREFIX="$work/prefix"
# No display: the library then shows its operator messages as lines on standard error, which the
# suites compare, and nothing modal can wait for a click.
unset DISPLAY WAYLAND_DISPLAY
# Found when the prefix is made, not here: on a fresh machine the package stage installs Wine.
wine_bin=
find_wine() {
  wine_bin=$(command -v wine || command -v wine64) ||
    { fail "no wine or wine64 on PATH (install the package wine, or run without --no-install)"; return 1; }
  command -v wineserver >/dev/null || { fail "no wineserver on PATH (install the package wine)"; return 1; }
}
w() { timeout "${WINE_STEP_TIMEOUT:-120}" "$wine_bin" "$@"; }
ws() { timeout 60 wineserver "$@"; }

sim_pid=
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    # SIGTERM: the simulator removes its link and ends.
    kill -TERM "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
  [ -d "$WINEPREFIX" ] && timeout 30 wineserver -k 2>/dev/null
  stop_xvfb
  true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_services() {
  # Programs started later must not inherit a pipe of ours through a service Wine starts on
  # demand (ctest and $(...) would wait for it): start the server and services now.
  # The server outlives this step: it writes to its own log.
  ws -p >>"$work/logs/wineserver.log" 2>&1 && w cmd /c ver >/dev/null
}
stage_prefix() {
  find_wine || return 1
  rm -rf "$WINEPREFIX"
  timeout 300 wineboot -i >"$work/logs/wineboot.log" 2>&1 || { fail "wineboot -i"; return 1; }
  ws -w || { fail "wineserver -w after wineboot"; return 1; }
  start_services || { fail "starting Wine's services"; return 1; }
}

stage_simulator() {
  [ -x "$tool" ] || { fail "no simulator at $tool"; return 1; }
  rm -f "$work/line"
  # The simulator runs until cleanup sends it SIGTERM; it reads no input.
  "$tool" simulate "${sim_args[@]}" --link "$work/line" </dev/null >"$work/sim.log" 2>&1 &
  sim_pid=$!
  local i
  for i in $(seq 50); do [ -L "$work/line" ] && break; sleep 0.1; done
  [ -L "$work/line" ] || { cat "$work/sim.log"; fail "the simulator published no line"; return 1; }
  echo "simulator on $(readlink "$work/line") (pid $sim_pid)"
}

stage_ports() {
  w reg add 'HKLM\Software\Wine\Ports' /v "$sim_port" /d "$work/line" /f >/dev/null &&
    w reg add 'HKLM\Software\Wine\Ports' /v "$missing_port" /d "$work/absent/tty" /f >/dev/null ||
    { fail "cannot write the port mapping"; return 1; }
  # Wine reads the mapping when its server starts.
  ws -k; ws -w; start_services || return 1
  local dev=$WINEPREFIX/dosdevices
  [ "$(readlink "$dev/${sim_port,,}")" = "$work/line" ] ||
    { fail "${sim_port,,} maps to '$(readlink "$dev/${sim_port,,}")', not the simulator"; return 1; }
  [ "$(readlink "$dev/${missing_port,,}")" = "$work/absent/tty" ] ||
    { fail "${missing_port,,} maps to '$(readlink "$dev/${missing_port,,}")'"; return 1; }
  echo "$sim_port -> $work/line, $missing_port -> $work/absent/tty"
}

stage_unit() {
  local rc
  if [ -x scripts/wine-unit-tests.sh ]; then
    # This prefix, as it stands: its server kept for the stages after, COM7 on the missing
    # device and, when the line is up, COM1 on the simulator's door terminal 3.
    local ports=(SOLVARD_WINE_MISSING_COM="${missing_port#COM}")
    [ "$ports_ok" = 0 ] && ports+=(SOLVARD_WINE_SIM_COM="${sim_port#COM}")
    env "${ports[@]}" SOLVARD_WINE_KEEP_SERVER=1 timeout 1800 scripts/wine-unit-tests.sh build/mingw-x64 \
      >"$work/logs/unit-tests.log" 2>&1
  elif [ -f build/mingw-x64/tests/CTestTestfile.cmake ]; then
    timeout 1800 ctest --test-dir build/mingw-x64 --output-on-failure --timeout 300 \
      >"$work/logs/unit-tests.log" 2>&1
  else
    fail "the unit tests were not built for MinGW (no googletest for MinGW found)"
    return 1
  fi
  rc=$?
  # The summary and the list of failed tests; everything else is in the log.
  sed -n '/tests passed\|tests failed/,$p' "$work/logs/unit-tests.log" | head -40
  [ $rc -eq 0 ] || echo "unit tests: exit $rc (logs/unit-tests.log)"
  return $rc
}

# ---- registration -----------------------------------------------------------------------------
reg_keys=("HKCR\\CLSID\\$attend_class" "HKCR\\CLSID\\$prohibit_class" 'HKCR\Solvard.Attend'
  'HKCR\Solvard.Prohibit' "HKCR\\TypeLib\\$typelib" "HKCR\\Interface\\$attend_iface"
  "HKCR\\Interface\\$prohibit_iface")
# reg_value KEY [VALUE]: the data of one value (the default one without VALUE), or nothing.
reg_value() {
  local out
  if [ $# -eq 2 ]; then out=$(w reg query "$1" /v "$2" 2>/dev/null) || return 1
  else out=$(w reg query "$1" /ve 2>/dev/null) || return 1; fi
  tr -d '\r' <<<"$out" | sed -n 's/^ *[^ ].*  *REG_[A-Z_]*  *//p' | head -1
}
key_exists() { w reg query "$1" >/dev/null 2>&1; }
export_registry() {
  local tag=$1 key file
  mkdir -p "$work/registry"
  : >"$work/registry/$tag.txt"
  for key in "${reg_keys[@]}"; do
    echo "[$key]" >>"$work/registry/$tag.txt"
    w reg query "$key" /s 2>/dev/null | tr -d '\r' >>"$work/registry/$tag.txt" || echo "(absent)" >>"$work/registry/$tag.txt"
  done
}
# expect_value KEY VALUE|"" EXPECTED: one registry value, exactly.
expect_value() {
  local got
  if [ -n "$2" ]; then got=$(reg_value "$1" "$2"); else got=$(reg_value "$1"); fi
  [ "$got" = "$3" ] || fail "$1 ${2:-(default)} is '$got', expected '$3'"
}
# The type library's version as its registry key names it: major and minor in hexadecimal
# (19.1 is "13.1").
typelib_version=$(sed -n 's/.*kTypeLibraryVersion = "\([0-9.]*\)".*/\1/p' "$root/src/component/identifiers.hpp")
typelib_key=$(printf '%x.%x' "${typelib_version%.*}" "${typelib_version#*.}")
# expect_progid CLASS NAME: NAME finds CLASS. A versioned ProgID (NAME.n) under the class is
# fine when NAME is its version-independent name and NAME.n finds the class too; NAME.n is then
# one more key that unregistration must remove.
expect_progid() {
  local class=$1 name=$2 progid ok=0
  expect_value "HKCR\\$name\\CLSID" "" "$class" || ok=1
  progid=$(reg_value "HKCR\\CLSID\\$class\\ProgID") || true
  if [ "$progid" != "$name" ]; then
    case "$progid" in
      "$name".[0-9]*)
        expect_value "HKCR\\$progid\\CLSID" "" "$class" || ok=1
        expect_value "HKCR\\CLSID\\$class\\VersionIndependentProgID" "" "$name" || ok=1
        expect_value "HKCR\\$name\\CurVer" "" "$progid" || ok=1
        reg_keys+=("HKCR\\$progid") ;;
      *) fail "$class has the ProgID '$progid', expected $name"; ok=1 ;;
    esac
  fi
  return $ok
}
dll_dir=
stage_register() {
  local dll key ok=0
  dll=$(find_dll build/mingw-x64)
  [ -n "$dll" ] || { fail "no Solvard.dll to register"; return 1; }
  dll_dir=$(dirname "$dll")
  export_registry before
  for key in "${reg_keys[@]}"; do
    key_exists "$key" && { fail "$key exists before registration"; ok=1; }
  done
  (cd "$dll_dir" && w regsvr32 /s Solvard.dll) || { fail "regsvr32 Solvard.dll failed ($?)"; return 1; }
  export_registry after
  local inproc
  inproc=$(reg_value "HKCR\\CLSID\\$attend_class\\InprocServer32") || true
  case "$inproc" in *[\\/][Ss]olvard.dll) ;; *) fail "Attend's InprocServer32 is '$inproc'"; ok=1 ;; esac
  expect_value "HKCR\\CLSID\\$prohibit_class\\InprocServer32" "" "$inproc" || ok=1
  expect_progid "$attend_class" Solvard.Attend || ok=1
  expect_progid "$prohibit_class" Solvard.Prohibit || ok=1
  expect_value "HKCR\\CLSID\\$attend_class\\TypeLib" "" "$typelib" || ok=1
  expect_value "HKCR\\CLSID\\$prohibit_class\\TypeLib" "" "$typelib" || ok=1
  expect_value "HKCR\\TypeLib\\$typelib\\$typelib_key" "" "Solvard" || ok=1
  expect_value "HKCR\\TypeLib\\$typelib\\$typelib_key\\409\\win64" "" "$inproc" || ok=1
  expect_value "HKCR\\Interface\\$attend_iface\\TypeLib" Version "$typelib_key" || ok=1
  expect_value "HKCR\\Interface\\$attend_iface" "" "_Attend" || ok=1
  expect_value "HKCR\\Interface\\$prohibit_iface" "" "_Prohibit" || ok=1
  expect_value "HKCR\\Interface\\$attend_iface\\TypeLib" "" "$typelib" || ok=1
  echo "registered: InprocServer32 = $inproc"
  return $ok
}
stage_unregister() {
  local key ok=0
  (cd "$dll_dir" && w regsvr32 /s /u Solvard.dll) || { fail "regsvr32 /u Solvard.dll failed ($?)"; ok=1; }
  export_registry unregistered
  for key in "${reg_keys[@]}"; do
    key_exists "$key" && { fail "$key is still there after regsvr32 /u"; ok=1; }
  done
  return $ok
}

# ---- the script suites ------------------------------------------------------------------------
# Each suite NAME.vbs or NAME.js may come with:
#   NAME.messages  the operator messages ("Merovane: <text>") and the library's log lines
#                  ("Solvard: ...") the run writes on standard error, in order, exactly
#   NAME.frames    the frames the simulator logs during the run ("<- ..." and "-> ..."), exactly
#   NAME.tables    "? FILE QUERY" lines, each followed by the rows sqlite3 must print for it
#                  (columns joined by |), read from the run's db folder after the suite
# download.vbs first: the other suites clear terminal 5's records and door 3 gives its own up.
all_suites=(download.vbs door-download.js properties.vbs errors.vbs attend.vbs prohibit.vbs objects.js)
suite_failures=()

check_lines() {  # check_lines WHAT EXPECTED-FILE ACTUAL-FILE
  if ! diff -u --label "expected $1" --label "actual $1" "$2" "$3" >"$3.diff"; then
    cat "$3.diff"
    fail "$1 differ"
    return 1
  fi
}

# The database checks: blocks of "? FILE QUERY" followed by the exact rows (sqlite3 -separator '|').
check_database() {
  local expected_file=$1 out=$2 line file query ok=0
  : >"$out.expected"
  : >"$out"
  while IFS= read -r line; do
    if [[ "$line" == "? "* ]]; then
      read -r file query <<<"${line#? }"
      echo "$line" >>"$out.expected"
      echo "$line" >>"$out"
      sqlite3 -separator '|' "$work/db/$file" "$query" >>"$out" 2>&1 || echo "(sqlite3 failed)" >>"$out"
    else
      echo "$line" >>"$out.expected"
    fi
  done <"$expected_file"
  check_lines "database contents" "$out.expected" "$out" || ok=1
  return $ok
}

prepare_databases() {
  rm -rf "$work/db"
  mkdir -p "$work/db"
  # The tables the downloads write to, made the way an installer would make them.
  sqlite3 "$work/db/attend.db" <"$root/sql/sqlite/attend.sql" &&
    sed 's/AccessRecords/DoorRecords/' "$root/sql/sqlite/access_records.sql" | sqlite3 "$work/db/door.db" &&
    sed 's/AccessRecords/"Door Records"/' "$root/sql/sqlite/access_records.sql" | sqlite3 "$work/db/door.db"
}

# The simulator prints each frame from its own loop, a little after the terminal answered it:
# wait until its log has stayed the same for a second (at most ten) before reading a suite's part.
settle_sim_log() {
  local last=-1 now_lines waited=0
  while [ $waited -lt 20 ]; do
    now_lines=$(wc -l <"$work/sim.log")
    [ "$now_lines" = "$last" ] && [ $waited -ge 2 ] && return 0
    last=$now_lines
    sleep 0.5
    waited=$((waited + 1))
  done
}
run_suite() {
  local suite=$1 base=${1%.*} out ok=0 before last
  out="$work/suites/$base"
  mkdir -p "$work/suites"
  before=$(wc -l <"$work/sim.log")
  # Wine's script engines cannot include a file (no ExecuteGlobal, no .wsf): the shared checks
  # go in front of the suite, and cscript is given the result by a relative name (a Unix
  # absolute path would be read as an option).
  [ -f "$scripts_dir/$suite" ] || { fail "no suite $suite"; suite_failures+=("$suite"); return 1; }
  mkdir -p "$work/scripts"
  cat "$scripts_dir/lib/check.${suite##*.}" "$scripts_dir/$suite" >"$work/scripts/$suite"
  (cd "$work/scripts" && SOLVARD_TEST_DIR="$work" w cscript //nologo "$suite") >"$out.out" 2>"$out.err"
  local rc=$?
  # Wine now and then fails to start a process at all: no line of output and nothing on the line.
  # Such a run is tried once more; a suite that starts and then fails is never run again.
  if [ $rc -ne 124 ] && [ ! -s "$out.out" ] && [ "$(wc -l <"$work/sim.log")" = "$before" ]; then
    echo "windows-test: $suite gave no output and sent nothing (exit $rc); Wine did not start it, trying once more"
    (cd "$work/scripts" && SOLVARD_TEST_DIR="$work" w cscript //nologo "$suite") >"$out.out" 2>"$out.err"
    rc=$?
  fi
  tr -d '\r' <"$out.out" >"$out.stdout"
  sed -n '/^FAIL /p' "$out.stdout"
  [ $rc -eq 124 ] && { fail "$suite did not finish within the time allowed"; ok=1; }
  last=$(grep -v '^[[:space:]]*$' "$out.stdout" | tail -1)
  [ "$last" = "FAILURES=0" ] || { fail "$suite ended with '${last:-nothing}', not FAILURES=0"; ok=1; }
  if [ -f "$scripts_dir/$base.messages" ]; then
    tr -d '\r' <"$out.err" | grep -a -E '^(Merovane|Solvard): ' >"$out.messages"
    check_lines "$suite operator messages" "$scripts_dir/$base.messages" "$out.messages" || ok=1
  fi
  if [ -f "$scripts_dir/$base.frames" ]; then
    settle_sim_log
    tail -n +"$((before + 1))" "$work/sim.log" | sed 's/  *(answered)$//' >"$out.frames"
    check_lines "$suite frames on the line" "$scripts_dir/$base.frames" "$out.frames" || ok=1
  fi
  if [ -f "$scripts_dir/$base.tables" ]; then
    check_database "$scripts_dir/$base.tables" "$out.tables" || ok=1
  fi
  echo "$suite: $(grep -c '^ok ' "$out.stdout") cases passed, $(grep -c '^FAIL ' "$out.stdout") checks failed"
  [ $ok -eq 0 ] || suite_failures+=("$suite")
  return $ok
}
stage_suites() {
  local suite ok=0
  prepare_databases || { fail "cannot prepare the test databases"; return 1; }
  local list=("${all_suites[@]}")
  [ ${#only_suites[@]} -gt 0 ] && list=("${only_suites[@]}")
  for suite in "${list[@]}"; do
    echo "--- $suite"
    run_suite "$suite" || ok=1
  done
  return $ok
}

# ---- the message box on a display -------------------------------------------------------------
# msgbox_host (tests/windows/msgbox) shows the box under Xvfb; xdotool plays the operator and
# ImageMagick keeps a screenshot of each box in $work/boxes. What the host prints (the window as
# it reads it, and the answer) is compared with tests/windows/msgbox/<case>.expected: the layout's
# rules (Label1 in whole lines of its font, the buttons 200 twips below it, the form 500 twips
# below them), not one machine's pixels, which hang on the fonts a face name finds. The pixels
# are in $work/boxes/<case>.stderr.
box_dir="$root/tests/windows/msgbox"
# case|host arguments|keys the operator presses|locale
box_cases=(
  "style64-short|show 64 short Box64Short|Return|"
  "style1-short|show 1 short Box1Short|Tab space|"
  "style1-long|show 1 long Box1Long|Return|"
  "style64-long|show 64 long Box64Long|alt+F4|"
  "lang-en|lang Solvard.en.dll|Return|"
  "lang-zh-CN|lang Solvard.zh-CN.dll|Return|zh_CN.UTF-8"
)
xvfb_pid= box_display=
stop_xvfb() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
}
start_xvfb() {
  rm -f "$work/xvfb.display"
  Xvfb -displayfd 5 -screen 0 800x600x24 -nolisten tcp 5>"$work/xvfb.display" \
    >"$work/logs/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local i
  for i in $(seq 100); do [ -s "$work/xvfb.display" ] && break; sleep 0.1; done
  [ -s "$work/xvfb.display" ] || { fail "Xvfb gave no display"; return 1; }
  box_display=":$(head -1 "$work/xvfb.display")"
}
# A zh_CN locale (code page 936 for Wine), generated into the work folder.
make_zh_locale() {
  [ -d "$work/locale/zh_CN.UTF-8" ] && return 0
  mkdir -p "$work/locale"
  timeout 120 localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8" >"$work/logs/localedef.log" 2>&1 ||
    [ -d "$work/locale/zh_CN.UTF-8" ]
}
# run_box CASE ARGS KEYS LOCALE: one showing, answered by KEYS.
run_box() {
  local name=$1 args=$2 keys=$3 locale=$4 out="$work/boxes/$1" env=() title id i pid ok=0
  env=(DISPLAY="$box_display")
  [ -n "$locale" ] && env+=(LOCPATH="$work/locale" LANG="$locale" LC_ALL="$locale")
  # The server and Wine's desktop take the display and the locale they were started with.
  ws -k; ws -w
  env "${env[@]}" timeout 60 wineserver -p >>"$work/logs/wineserver.log" 2>&1
  read -r -a argv <<<"$args"
  title=Merovane
  [ "${argv[0]}" = show ] && title=${argv[3]}
  (cd "$dll_dir" && exec env "${env[@]}" timeout 90 "$wine_bin" msgbox_host.exe "${argv[@]}") \
    >"$out.stdout" 2>"$out.stderr" &
  pid=$!
  id=$(DISPLAY=$box_display timeout 60 xdotool search --sync --name "^$title\$" 2>/dev/null | head -1)
  if [ -z "$id" ]; then
    fail "$name: no window titled $title"; ok=1
  else
    # The host prints Label1's text once the window is up with its controls.
    for i in $(seq 100); do grep -q '^label ' "$out.stdout" 2>/dev/null && break; sleep 0.1; done
    sleep 0.5
    DISPLAY=$box_display timeout 30 import -window root "$out.png" 2>>"$work/logs/import.log" ||
      { fail "$name: no screenshot"; ok=1; }
    DISPLAY=$box_display timeout 10 xdotool mousemove --window "$id" 2 2 windowfocus "$id" \
      key --clearmodifiers $keys 2>>"$work/logs/xdotool.log" || { fail "$name: xdotool"; ok=1; }
  fi
  wait "$pid" || { fail "$name: msgbox_host exited $?"; ok=1; }
  tr -d '\r' <"$out.stdout" >"$out.out"
  diff -u "$box_dir/$name.expected" "$out.out" >"$out.diff" ||
    { cat "$out.diff"; fail "$name: the box is not as expected"; ok=1; }
  [ $ok -eq 0 ] && echo "$name: ok ($(basename "$out.png"))"
  return $ok
}
stage_boxes() {
  local row name args keys locale ok=0
  [ -n "$dll_dir" ] && [ -f "$dll_dir/msgbox_host.exe" ] || { fail "no msgbox_host.exe"; return 1; }
  rm -rf "$work/boxes"; mkdir -p "$work/boxes"
  make_zh_locale || { fail "cannot make the zh_CN locale"; return 1; }
  # There is no window manager: Wine draws the title bar and frame itself, so the screenshots
  # show the box's title.
  w reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null ||
    { fail "cannot turn off window management"; return 1; }
  start_xvfb || return 1
  for row in "${box_cases[@]}"; do
    IFS='|' read -r name args keys locale <<<"$row"
    run_box "$name" "$args" "$keys" "$locale" || ok=1
  done
  ws -k; ws -w
  stop_xvfb
  return $ok
}

# ---- the run ----------------------------------------------------------------------------------
mkdir -p "$work"
rm -rf "$work/logs" "$work/suites" "$work/registry"
mkdir -p "$work/logs"
[ $install -eq 1 ] && run_stage "packages" stage_install
if [ $build -eq 1 ]; then
  run_stage "build mingw-x64 (DLL and tests)" stage_build_x64
  run_stage "build mingw-x86 (DLL)" stage_build_x86
  [ -x "$tool" ] || run_stage "build the simulator (linux)" stage_build_tool
fi
run_stage "static checks of both DLLs" stage_static
run_stage "fresh Wine prefix" stage_prefix || { summary; exit 1; }
run_stage "simulator" stage_simulator
sim_ok=$?
ports_ok=1
[ $sim_ok -eq 0 ] && { run_stage "COM port mapping" stage_ports; ports_ok=$?; }
if [ -n "$(find_dll build/mingw-x64)" ]; then
  if run_stage "regsvr32 and the registry" stage_register; then
    if [ $sim_ok -eq 0 ] && [ $ports_ok -eq 0 ]; then
      run_stage "VBScript and JScript suites" stage_suites
    else
      skip_stage "VBScript and JScript suites" "no simulated line"
    fi
  fi
  [ -n "$dll_dir" ] && run_stage "regsvr32 /u and the registry" stage_unregister
else
  skip_stage "registration and suites" "no Solvard.dll"
  failed=1
fi
# The unit tests come last: some drive door terminal 3 on the simulated line, whose state the
# suites' expected frames and rows assume untouched.
if [ $unit -eq 1 ]; then run_stage "core and DLL unit tests under Wine" stage_unit; else skip_stage "core and DLL unit tests under Wine" "--no-unit"; fi
# Last, as it restarts Wine's server with a display.
if [ -n "$dll_dir" ] && [ $ports_ok -eq 0 ]; then
  run_stage "message box under Xvfb" stage_boxes
else
  skip_stage "message box under Xvfb" "no registered DLL or no port mapping"
fi
summary
[ ${#suite_failures[@]} -gt 0 ] && echo "windows-test: suites that failed: ${suite_failures[*]}"
echo "windows-test: logs in $work"
exit $failed
