# Sourced by the build scripts: runs named stages, prints each one's time and a
# summary at the end, and uses ccache where it is installed.

stage_log=()

# stage NAME COMMAND...: runs the command as one stage and prints its time.
stage() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  local took=$((SECONDS - start))
  stage_log+=("$(printf '%5d s  %s' "$took" "$name")")
  echo "== $name: ${took} s"
}

stage_summary() {
  echo "== stage times"
  printf '%s\n' "${stage_log[@]}"
  echo "== total: ${SECONDS} s"
}

# Compiler cache: object files are shared between clones and presets of the
# same sources, so a warm CI run only compiles what changed.
use_ccache() {
  if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
    # Debug builds would otherwise hash the build folder too, and so miss the
    # cache in every new clone.
    export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  fi
}
