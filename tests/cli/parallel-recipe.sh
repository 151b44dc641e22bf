#!/usr/bin/env bash
# The GNU parallel recipe of docs/batch.md, run as written on a generated
# record tree with a broken record among them: one batch per record into
# parts/, merged into SQLite, must give the same table as one batch over the
# folder; run again with --resume and merged again, nothing is added.
# Usage: parallel-recipe.sh OSCALYX-CLI MAKE-RECORD-TREE
set -euo pipefail
cli=$1
make_tree=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "parallel-recipe: $*" >&2; exit 1; }

"$make_tree" records 12 >/dev/null
printf 'not a record\n' > records/day-01/broken.csv

# The recipe: the list of records, one batch per record, then merge.
find records -type f \( -iname '*.csv' -o -iname '*.dbl' \) | sort > files.txt
mkdir -p parts
parallel --jobs 2 --joblog jobs.log --resume \
  "$cli" batch {} --out parts/{#}.csv :::: files.txt 2>/dev/null
"$cli" merge parts/*.csv --db parallel.sqlite >/dev/null

# The same records in one batch.
"$cli" batch records --out single.csv --jobs 2 2>/dev/null
"$cli" merge single.csv --db single.sqlite >/dev/null

columns='file, sha256, channel, name, onset, start, "end", peak, f, h, f_lo, f_hi, h_lo, h_hi, ratio, accepted, flags, settings, error, time'
query="SELECT $columns FROM evaluations ORDER BY sha256, channel, start"
diff <(sqlite3 parallel.sqlite "$query") <(sqlite3 single.sqlite "$query") || fail "the merged parts differ from one batch"

rows=$(sqlite3 single.sqlite 'SELECT COUNT(*) FROM evaluations')
accepted=$(sqlite3 single.sqlite 'SELECT COUNT(*) FROM accepted')
broken=$(sqlite3 single.sqlite "SELECT COUNT(*) FROM evaluations WHERE file LIKE '%broken.csv' AND error <> ''")
[ "$rows" -gt 12 ] || fail "only $rows rows"
[ "$accepted" -gt 0 ] || fail "no accepted evaluation"
[ "$broken" -eq 1 ] || fail "the broken record has $broken error rows"

# Resumed: the job log says every record is done; merging again adds nothing.
before=$(cat parts/*.csv | md5sum)
parallel --jobs 2 --joblog jobs.log --resume \
  "$cli" batch {} --out parts/{#}.csv :::: files.txt 2>/dev/null
[ "$(cat parts/*.csv | md5sum)" = "$before" ] || fail "a resumed run changed the parts"
if "$cli" merge parts/*.csv --db parallel.sqlite | grep -v ' 0 行を追加$'; then fail "a second merge added rows"; fi
[ "$(sqlite3 parallel.sqlite 'SELECT COUNT(*) FROM evaluations')" -eq "$rows" ] || fail "row count changed"
echo "parallel-recipe: $rows rows, $accepted accepted, parts equal to one batch"
