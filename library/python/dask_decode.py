#!/usr/bin/python3
"""Decodes every file under a folder on a Dask cluster and writes one CSV row
per keypad symbol: input, symbol, start, end (seconds).

    dask_decode.py /srv/recordings > digits.csv                 # 2 local worker processes
    dask_decode.py --workers 8 /srv/recordings -o digits.csv
    dask_decode.py --scheduler tcp://head:8786 /srv/recordings  # a running cluster

Files that cannot be decoded are named on standard error, and the exit
status is then 1. The workers need the module dtmf (python3-dtmf) and the
folder at the same path.
"""
import argparse
import pathlib
import sys

import dtmf
import pandas as pd
from dask.distributed import Client, LocalCluster

COLUMNS = ["input", "symbol", "start", "end"]


def decode_batch(paths, detector):
    """The rows of a batch of files, and the reasons those that failed failed."""
    rows, errors = [], []
    for path in paths:
        try:
            rows += [(path, s.symbol, s.start, s.end) for s in dtmf.decode_file(path, detector)]
        except (OSError, ValueError) as error:
            errors.append(str(error))
    return rows, errors


def decode_all(client, paths, detector, batch):
    """One task per batch of files; a task per file costs more than a short file."""
    batches = [paths[i:i + batch] for i in range(0, len(paths), batch)]
    futures = client.map(decode_batch, batches, detector=detector, pure=False)
    rows, errors = [], []
    for found, failed in client.gather(futures):
        rows += found
        errors += failed
    return pd.DataFrame(rows, columns=COLUMNS), errors


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder", help="the folder whose files are decoded, sub-folders too")
    parser.add_argument("-o", "--output", default="-", help="the CSV file (default: standard output)")
    parser.add_argument("--detector", default="strict", choices=["strict", "window"])
    parser.add_argument("--scheduler", help="address of a running Dask scheduler")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes (default 2)")
    parser.add_argument("--batch", type=int, default=16, help="files per task (default 16)")
    args = parser.parse_args()

    paths = sorted(str(p) for p in pathlib.Path(args.folder).rglob("*") if p.is_file())
    if args.scheduler:
        with Client(args.scheduler) as client:
            frame, errors = decode_all(client, paths, args.detector, args.batch)
    else:
        with LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                          dashboard_address=None) as cluster, Client(cluster) as client:
            frame, errors = decode_all(client, paths, args.detector, args.batch)

    frame.to_csv(sys.stdout if args.output == "-" else args.output, index=False)
    for error in errors:
        print(f"dask_decode: {error}", file=sys.stderr)
    return 1 if errors else 0


# Worker processes are spawned and import this script again: only the main
# process may start the cluster.
if __name__ == "__main__":
    sys.exit(main())
