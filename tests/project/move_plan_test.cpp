// Who goes where before anything is sent: replacements paired by identity or only when there is
// no guess to make, a clash's keeper and movers, the order addresses are given in, and the
// answers of a TARVO assignment built from it.

#include "project/move_plan.h"

#include <gtest/gtest.h>

#include "bus/frame.h"
#include "project/planned_address_chooser.h"

namespace {

constexpr DeviceIdentity kX{1, 0, 0, 1};
constexpr DeviceIdentity kY{1, 0, 0, 2};
constexpr DeviceIdentity kZ{1, 0, 0, 3};

PlannedDevice At(DeviceModel model, std::uint8_t address,
                 std::optional<DeviceIdentity> identity = std::nullopt) {
    PlannedDevice d;
    d.model = model;
    d.address = address;
    d.identity = identity;
    return d;
}

BusTable Found(DeviceModel model,
               const std::vector<std::pair<std::uint8_t, DeviceIdentity>>& answers) {
    BusTable t;
    std::vector<SearchAnswer> a;
    for (const auto& [address, id] : answers) {
        a.push_back({address, id});
    }
    t.Take(model, a);
    return t;
}

std::string Moves(const MovePlan& p) {
    std::string text;
    for (const AddressMove& m : p.moves) {
        text += std::to_string(m.from) + "->" + std::to_string(m.to) +
                (m.why == AddressMove::Why::Replacement ? "r" : "c") + "(" +
                std::to_string(m.identity[3]) + ") ";
    }
    return text;
}

constexpr DeviceModel kM = DeviceModel::Mirell;

TEST(MovePlan, AReplacementIsPairedByIdentityOrWhenOnlyOneCandidateIsLeft) {
    ProjectPlan plan;
    plan.devices = {At(kM, 1), At(kM, 2, kY), At(kM, 3)};
    // 2's device came back at 8; 3 is gone and one stranger at 9 is the only candidate.
    EXPECT_EQ(Moves(PlanMoves(plan, Found(kM, {{1, kX}, {8, kY}, {9, kZ}}))), "8->2r(2) 9->3r(3) ");
    // Two gone and two strangers: which is which is a guess, so nothing moves and both say so.
    plan.devices = {At(kM, 1), At(kM, 2), At(kM, 3)};
    const MovePlan guess = PlanMoves(plan, Found(kM, {{1, kX}, {8, kY}, {9, kZ}}));
    EXPECT_EQ(Moves(guess), "");
    ASSERT_EQ(guess.notes.size(), 2u);
    EXPECT_EQ(guess.notes[0].address, 2);
    EXPECT_EQ(guess.notes[0].text,
              "2 planned mirell devices missing and 2 unexpected: which replaces which is not "
              "known");
    // Another model's stranger is no candidate.
    BusTable other = Found(DeviceModel::Oskan, {{9, kZ}});
    plan.devices = {At(kM, 1)};
    EXPECT_EQ(Moves(PlanMoves(plan, other)), "");
}

TEST(MovePlan, AClashKeepsOneAndGivesTheOthersPlannedAddressesFirst) {
    ProjectPlan plan;
    // 5 is planned for Y, 2 and 4 are free, 3 is held by a device alone.
    plan.devices = {At(kM, 1, kZ), At(kM, 2), At(kM, 3), At(kM, 4), At(kM, 5, kY)};
    const MovePlan p = PlanMoves(
        plan, Found(kM, {{1, kX}, {1, kY}, {1, kZ}, {1, {9, 9, 9, 9}}, {3, {3, 3, 3, 3}}}));
    // Y to its planned 5, Z (planned here) stays, the rest take 2 and 4.
    EXPECT_EQ(Moves(p), "1->5c(2) 1->2c(1) 1->4c(9) ");
    ASSERT_EQ(p.stays.size(), 1u);
    EXPECT_EQ(p.stays[0].identity, kZ);
    EXPECT_TRUE(p.Touches(kM));
    EXPECT_FALSE(p.Touches(DeviceModel::Tarvo));
}

TEST(MovePlan, WithoutAPlannedAddressAMoverTakesTheLowestUnusedOne) {
    ProjectPlan plan;
    plan.devices = {At(kM, 1)};
    // 2 answers (not planned), so the next free one that nobody uses is 3.
    EXPECT_EQ(Moves(PlanMoves(plan, Found(kM, {{1, kX}, {1, kY}, {2, kZ}}))), "1->3c(2) ");

    // Every address answers: nowhere to go, and the clash's entry says so.
    std::vector<std::pair<std::uint8_t, DeviceIdentity>> all;
    for (unsigned a = 1; a <= 255; ++a) {
        all.push_back({static_cast<std::uint8_t>(a), {0, 0, 0, static_cast<std::uint8_t>(a)}});
    }
    all.push_back({7, kX});
    const MovePlan full = PlanMoves(plan, Found(kM, all));
    EXPECT_EQ(Moves(full), "");
    ASSERT_EQ(full.notes.size(), 1u);
    EXPECT_EQ(full.notes[0].address, 7);
    EXPECT_EQ(full.notes[0].text, "no free address for 1 of the devices");
}

std::array<std::uint8_t, 10> Request(std::uint8_t from, const DeviceIdentity& id) {
    return {kFrameHead, kTypeTarvo, 0, from, kCmdAddressRequest, 0, id[0], id[1], id[2], id[3]};
}

TEST(PlannedAddressChooser, EachPanelIsHandedWhatThePlanGivesIt) {
    constexpr DeviceModel kT = DeviceModel::Tarvo;
    ProjectPlan plan;
    plan.devices = {At(kT, 1), At(kT, 2), At(kT, 3), At(kT, 4, DeviceIdentity{2, 0, 0, 0})};
    // 1 clash (X, Y), 3 alone, 4's panel showed up at 20; 2 is free.
    const BusTable found = Found(kT, {{1, kX}, {1, kY}, {3, kZ}, {20, {2, 0, 0, 0}}});
    const MovePlan moves = PlanMoves(plan, found);
    PlannedAddressChooser chooser(moves, found, kT);
    EXPECT_EQ(chooser.Choose(Request(3, kZ).data()), 3);              // alone: keeps it
    EXPECT_EQ(chooser.Choose(Request(20, {2, 0, 0, 0}).data()), 4);   // replacement
    EXPECT_EQ(chooser.Choose(Request(1, kY).data()), 2);              // clash mover
    EXPECT_EQ(chooser.Choose(Request(1, kX).data()), 1);              // clash keeper
    EXPECT_EQ(chooser.Choose(Request(1, kY).data()), 2);              // asked again: the same
    EXPECT_EQ(chooser.Choose(Request(1, {7, 7, 7, 7}).data()), 5);    // unknown: next spare
    EXPECT_EQ(chooser.Choose(Request(60, {6, 6, 6, 6}).data()), 60);  // never seen: stays
}

}  // namespace
