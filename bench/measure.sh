# Sourced by the tape benchmarks.

# Seconds and peak resident kilobytes of a command, its output thrown away: the median of five runs (the
# machine may be busy), each timed to the millisecond. "{run}" in an argument becomes the run's number.
measure() {
    for run in 1 2 3 4 5; do
        python3 - "$run" "$@" <<'PY'
import resource, subprocess, sys, time
command = [argument.replace("{run}", sys.argv[1]) for argument in sys.argv[2:]]
start = time.perf_counter()
subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
print(f"{time.perf_counter() - start:.3f} {resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss}")
PY
    done | sort -n | sed -n 3p
}
ratio() { python3 -c "import sys; print(f'{float(sys.argv[1]) / float(sys.argv[2]):.2f}')" "$1" "$2"; }
