// The order in which a name's addresses are tried: the resolver's first
// address first, then the families taking turns.
#include <gtest/gtest.h>

#include <string>

#include "netquill/AddressOrder.h"

namespace {

// The families as digits ("6" for IPv6, "4" for IPv4), in the order they are tried.
std::string Tried(const std::string &families)
{
    int codes[64];
    int count = static_cast<int>(families.size());
    for (int i = 0; i < count; ++i)
        codes[i] = families[i] == '6' ? 23 : 2;
    int order[kMaxAddressAttempts];
    int written = InterleaveFamilies(codes, count, order);
    std::string tried;
    for (int i = 0; i < written; ++i)
        tried += families[order[i]] + std::to_string(order[i]);
    return tried;
}

TEST(InterleaveFamilies, FirstFamilyFirstThenTakingTurns)
{
    struct Case {
        const char *families, *tried;
    } cases[] = {
        {"", ""},
        {"4", "40"},
        {"64", "6041"},
        {"46", "4061"},
        {"666444", "604361446245"},
        {"644", "604142"},
        {"6644", "60426143"},
        {"4446", "40634142"},
        {"6464", "60416243"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.tried, Tried(c.families)) << c.families;
}

// Of a long list only the first addresses are tried, in the resolver's order.
TEST(InterleaveFamilies, NoMoreThanTheAttemptsAllowed)
{
    int families[40];
    for (int &family : families)
        family = 2;
    families[39] = 23;
    int order[kMaxAddressAttempts];
    ASSERT_EQ(kMaxAddressAttempts, InterleaveFamilies(families, 40, order));
    for (int i = 0; i < kMaxAddressAttempts; ++i)
        EXPECT_EQ(i, order[i]);
}

}  // namespace
