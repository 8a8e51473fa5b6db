# Shared by the benchmark scripts: where generated recordings go, and running a program with a
# display (Xvfb when there is none).
data=$build/bench-data
mkdir -p "$data"

# gen NAME OPTIONS...: generates $data/NAME once.
gen() {
  local name=$1
  shift
  [ -f "$data/$name" ] || "$build/tools/tavrilo-gen" recording "$data/$name" "$@" >&2
}

with_display() {
  if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@" 2>&1 | grep -v XDG_RUNTIME
  else
    "$@"
  fi
}
