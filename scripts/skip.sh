# Sourced by the test scripts that need a tool of the machine. `skip REASON`
# ends the test as skipped (77, which CTest reads as a skip), or as failed
# where CI is set: a machine whose setup left a tool out must not pass by
# skipping the tests that need it.
skip() {
  if [ -n "${CI:-}" ]; then
    echo "FAIL: cannot run under CI: $*" >&2
    exit 1
  fi
  echo "SKIP: $*"
  exit 77
}
