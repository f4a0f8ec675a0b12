#include <gtest/gtest.h>

#include "physics/params.h"
#include "physics/table.h"

namespace {

struct Row {
    int n;
    double v11, v12, v21, v22;
};

// Rows where the four kinds differ, and a few shared ones the geometry rests on.
constexpr Row kRows[] = {
    {0, 400, 400, 400, 400},
    {1, 0.42, 0.42, 0.4, 0.4},
    {8, 0.009, 0.009, 0.0105, 0.0105},
    {11, 6100, 6100, 6862.5, 6862.5},
    {12, 0, 0, 10, 10},
    {14, 2, 2, 0.2, 0.2},
    {15, 0.33, 0.33, 0.035, 0.035},
    {26, 0.0003333333333333333, 0.0003333333333333333, 0.001, 0.001},
    {28, 0.04, 0.04, 0.051, 0.0565},
    {31, 0.1, 0.1, 0.11, 0.13},
    {34, 0.6, 0.6, 0.075, 0.04},
    {36, 3569, 3569, 3569, 3569},
    {37, 1778, 1778, 1778, 1778},
    {47, 52.5, 52.5, 52.5, 52.5},
    {48, 26.25, 26.25, 26.25, 26.25},
    {72, 68670, 67689, 68670, 67689},
    {73, 88.28999999999999, 88.28999999999999, 103.00500000000001, 103.00500000000001},
    {75, 392.40000000000003, 392.40000000000003, 333.54, 333.54},
    {81, 143.92, 137.92, 141.92, 137.92},
    {85, 162.21, 156.21, 160.21, 156.21},
    {89, 94.9, 88.9, 94.9, 94.9},
    {90, 113.34, 110.34, 113.34, 110.34},
    {94, 97.46, 94.46, 97.46, 94.46},
    {98, 54.19, 53.19, 54.19, 53.19},
    {103, 0.2, 0.2, 0.2, 0.2},
    {108, -1, -1, 0.1, 0.1},
    {111, 0, 0.05, 0.05, 0.05},
    {116, 1, 1, 1.1, 3.2},
    {122, 1, 1, 0.6, 0.6},
    {123, 2.5, 2.5, 2.9, 2.9},
    {124, 1, 1, 0.85, 0.85},
};

}  // namespace

TEST(TableParams, FourRecordsHoldTheirValuesByIndex) {
    for (const Row& r : kRows) {
        EXPECT_EQ((*findTableParams(1, 1))[r.n], r.v11) << r.n;
        EXPECT_EQ((*findTableParams(1, 2))[r.n], r.v12) << r.n;
        EXPECT_EQ((*findTableParams(2, 1))[r.n], r.v21) << r.n;
        EXPECT_EQ((*findTableParams(2, 2))[r.n], r.v22) << r.n;
    }
}

TEST(TableParams, BuiltInValuesKeepTheirRelations) {
    for (int version = 1; version <= 2; ++version) {
        for (int type = 1; type <= 2; ++type) {
            const TableParams& p = *findTableParams(version, type);
            EXPECT_NEAR(p[73], p[8] * p[71], 1e-9);
            EXPECT_NEAR(p[74], p[9] * p[71], 1e-9);
            EXPECT_NEAR(p[75], p[10] * p[71], 1e-9);
            EXPECT_EQ(p[48], p[47] / 2);
            EXPECT_NEAR(p[72], (type == 1 ? 7 : 6.9) * p[71], 1e-6);
        }
    }
}

TEST(TableParams, OnlyFourPairsExist) {
    EXPECT_EQ(findTableParams(2, 3), nullptr);
    EXPECT_EQ(findTableParams(0, 1), nullptr);
    EXPECT_EQ(findTableParams(3, 2), nullptr);
    EXPECT_NE(findTableParams(1, 1), findTableParams(1, 2));
}

TEST(TableParams, TuningChangesOnlyTheCurrentPairsRecord) {
    Table table;
    TableParams saved = *table.params;
    TableParams other = *findTableParams(1, 1);
    (*table.params)[8] = 0.01;
    (*table.params)[73] = 9810 * 0.01;
    EXPECT_DOUBLE_EQ((*findTableParams(2, 1))[73], 98.1);

    Table second;  // same pair: shares the tuned record
    EXPECT_EQ((*second.params)[8], 0.01);
    second.setTableType(1, 1);
    EXPECT_EQ((*second.params)[8], other[8]);
    EXPECT_EQ((*second.params)[73], other[73]);
    *findTableParams(2, 1) = saved;
}
