#!/bin/bash
# One record per Slurm array task: task i evaluates line i of files.txt into
# parts/i.csv. Submit with the array sized to the list and a cap on tasks that
# run at once (here 50), then merge once every task has finished:
#
#   find /data/monitoring -type f -iname '*.csv' | sort > files.txt
#   mkdir -p parts logs
#   job=$(sbatch --parsable --array=1-$(wc -l < files.txt)%50 batch-slurm.sh)
#   sbatch --dependency=afterok:$job --wrap 'oscalyx-cli merge parts/*.csv --db results.sqlite'
#
# A task that is run again (requeued, or the whole array resubmitted) skips
# what its part already holds, so resubmitting only completes the work.
#SBATCH --job-name=oscalyx-batch
#SBATCH --array=1-100%50
#SBATCH --cpus-per-task=1
#SBATCH --time=00:10:00
#SBATCH --output=logs/%A_%a.out
set -euo pipefail

list=${OSCALYX_FILES:-files.txt}
file=$(sed -n "${SLURM_ARRAY_TASK_ID}p" "$list")
if [ -z "$file" ]; then
  echo "no line ${SLURM_ARRAY_TASK_ID} in $list" >&2
  exit 1
fi
mkdir -p parts
exec oscalyx-cli batch "$file" --out "parts/${SLURM_ARRAY_TASK_ID}.csv" --jobs "${SLURM_CPUS_PER_TASK:-1}"
