// The constants of the four table kinds, one record per (version, type) pair.
#pragma once

constexpr int kTableParamCount = 125;

// Lengths in mm, times in s, speeds in mm/s; entry n is written [n] in the comments of this folder.
struct TableParams {
    double v[kTableParamCount];

    double operator[](int n) const { return v[n]; }
    double& operator[](int n) { return v[n]; }
};

// The writable record of (version, tableType): (1, 1), (1, 2), (2, 1) or (2, 2); null for any
// other pair. Tuning commands change entries in place, for every table of that pair, for the run.
TableParams* findTableParams(int version, int tableType);
