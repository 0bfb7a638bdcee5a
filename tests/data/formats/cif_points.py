#!/usr/bin/env python3
"""Prints the points of every data block of a powder CIF as python3-gemmi reads them.

    cif_points.py FILE

One line per point: block name, x, y and the su of y (nan when y has none), the numbers
in Python's shortest form that reads back to the same double. Exit status 1 when the
file cannot be read or a block has no x or y loop.
"""
import sys

import gemmi

X_TAGS = ("_pd_meas_2theta_scan", "_pd_proc_2theta_corrected", "_pd_proc_recip_len_Q",
          "_pd_proc_d_spacing", "_pd_meas_angle_phi", "_pd_meas_angle_chi",
          "_pd_meas_angle_omega")
Y_TAGS = ("_pd_meas_counts_total", "_pd_meas_intensity_total", "_pd_proc_intensity_total")


def su(value):
    if "(" not in value:
        return float("nan")
    number, digits = value.rstrip(")").split("(")
    decimals = len(number.split(".")[1]) if "." in number else 0
    return int(digits) * 10.0 ** -decimals


def main(path):
    doc = gemmi.cif.read(path)
    for block in doc:
        x_tag = next((t for t in X_TAGS if block.find_loop(t)), None)
        y_tag = next((t for t in Y_TAGS if block.find_loop(t)), None)
        if x_tag is None or y_tag is None:
            if block.find_value("_pd_meas_number_of_points") == "0" or \
               block.find_value("_pd_proc_number_of_points") == "0":
                continue
            print(f"{path}: block {block.name} has no x or y loop")
            return 1
        for x, y in zip(block.find_loop(x_tag), block.find_loop(y_tag)):
            print(block.name, repr(gemmi.cif.as_number(x)), repr(gemmi.cif.as_number(y)),
                  repr(su(y)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
