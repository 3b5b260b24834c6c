# Shared by the benchmark scripts: folders, /usr/bin/time and a Release build
# of the tagger. Sourced, not run; sets root, data, models, build, jobs and
# korvane; bench_build builds korvane.
export LC_ALL=C
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Absolute, since the runs change directory.
data=$(realpath -m "${DATA_DIR:-$root/../shared/data}")
models=$(realpath -m "${MODEL_DIR:-$root/models}")
build=$(realpath -m "${BUILD_DIR:-$root/build-bench}")
jobs=${JOBS:-2}

if [ ! -x /usr/bin/time ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get install -y -qq time >/dev/null
fi

korvane=$build/src/app/korvane

bench_build() {
  echo "== building korvane (Release) in $build"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF >/dev/null
  cmake --build "$build" --target korvane_tagger -j"$jobs" >/dev/null
}

kit=$build/src/app/korvane-kit

bench_build_kit() {
  echo "== building korvane-kit (Release) in $build"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF >/dev/null
  cmake --build "$build" --target korvane_kit_main -j"$jobs" >/dev/null
}
