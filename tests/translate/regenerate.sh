#!/bin/sh
# Rewrites the expected results cases/NAME.ARGS.smv and .err (from
# cases/NAME.in) and golden/NAME.ARGS.smv (from examples/NAME.in), beside it,
# with the given ruvello, by default the release build. ARGS are words joined
# by dots: pN for -p N, any other word W for --W. To add a case, create an
# empty NAME.ARGS.smv and run this; read every difference before committing.
set -eu
cd "$(dirname "$0")/../.."
ruvello=$(realpath "${1:-build/release/ruvello}")

# regenerate EXPECTED MODEL_DIR: runs ruvello in the folder above MODEL_DIR
# on MODEL_DIR/NAME.in, so that the banner names the model as the tests do.
regenerate() {
    expected=$1 model_dir=$2
    file=$(basename "$expected" .smv)
    name=${file%%.*}
    set --
    for word in $(echo "${file#*.}" | tr . ' '); do
        case $word in
        p*) set -- "$@" -p "${word#p}" ;;
        *) set -- "$@" "--$word" ;;
        esac
    done
    errors="$PWD/${expected%.smv}.err"
    (cd "$(dirname "$model_dir")" &&
        "$ruvello" "$@" -f "$(basename "$model_dir")/$name.in" >/dev/null 2>"$errors.new") || true
    mv "$model_dir/$name.smv" "$expected"
    if [ -s "$errors.new" ]; then mv "$errors.new" "$errors"; else rm -f "$errors.new" "$errors"; fi
}

for expected in tests/translate/cases/*.smv; do regenerate "$expected" tests/translate/cases; done
for expected in tests/translate/golden/*.smv; do regenerate "$expected" examples; done
