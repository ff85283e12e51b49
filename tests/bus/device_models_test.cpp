// The device-model table: every way of naming a model leads to the same row, and the rows
// agree with the frame constants and the main dialog's tab order.

#include "bus/device_models.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(DeviceModels, EveryNameTypeCodeAndTabLeadsToItsOneRow) {
    std::set<std::uint8_t> codes;
    for (std::size_t i = 0; i < kDeviceModels.size(); ++i) {
        const DeviceModelInfo& m = kDeviceModels[i];
        EXPECT_EQ(m.tab, static_cast<int>(i)) << m.name;  // the dialog's tab order
        EXPECT_EQ(&ModelInfo(m.model), &m);
        EXPECT_EQ(ModelByTab(m.tab), &m);
        EXPECT_EQ(ModelByTypeCode(m.typeCode), &m);
        EXPECT_EQ(ModelByName(m.name), &m);
        EXPECT_EQ(ModelByNameIgnoringCase(m.title), &m);
        EXPECT_EQ(TypeCodeForTab(m.tab), m.typeCode);
        EXPECT_GE(m.typeCode, kTypeMin);
        EXPECT_LE(m.typeCode, kTypeMax);
        EXPECT_TRUE(codes.insert(m.typeCode).second) << "type code used twice";
    }
    EXPECT_EQ(ModelInfo(DeviceModel::Tarvo).typeCode, kTypeTarvo);
    EXPECT_EQ(ModelInfo(DeviceModel::Mirell).typeCode, kTypeMirell);
    EXPECT_EQ(ModelInfo(DeviceModel::Oskan).typeCode, kTypeOskan);

    EXPECT_EQ(ModelByTab(3), nullptr);
    EXPECT_EQ(ModelByTab(-1), nullptr);
    EXPECT_FALSE(TypeCodeForTab(7));
    EXPECT_EQ(ModelByTypeCode(7), nullptr);  // accepted on the bus, but no model of ours
    EXPECT_EQ(ModelByName("TARVO"), nullptr);
    EXPECT_EQ(ModelByName("tarvos"), nullptr);
    EXPECT_EQ(ModelNameList(), "tarvo, mirell or oskan");
    EXPECT_EQ(ModelNamesJoined("|"), "tarvo|mirell|oskan");
}

TEST(DeviceModels, WhatEachModelAnswersAsTheWindowDrivesIt) {
    // Only TARVO panels take their address from automatic assignment alone, and only they
    // answer the configuration read; the power devices' pages keep their found records.
    const DeviceModelInfo& t = ModelInfo(DeviceModel::Tarvo);
    const DeviceModelInfo& m = ModelInfo(DeviceModel::Mirell);
    const DeviceModelInfo& o = ModelInfo(DeviceModel::Oskan);
    EXPECT_EQ(t.addressWrite, AddressWrite::None);
    EXPECT_EQ(m.addressWrite, AddressWrite::ByState);
    EXPECT_EQ(o.addressWrite, AddressWrite::ByteSix0x22);
    EXPECT_TRUE(t.readsConfig);
    EXPECT_FALSE(m.readsConfig || o.readsConfig);
    EXPECT_FALSE(t.keepsFoundRecords);
    EXPECT_TRUE(m.keepsFoundRecords && o.keepsFoundRecords);
}

}  // namespace
