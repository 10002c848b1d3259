// Random command lines through ExtractDeviceUdn, checked against a model written from the
// contract: the UDN is the text from the leftmost "uuid:" (bytes, case-sensitive) to the end of
// the line, converted from the ANSI code page.

#include "commands/device_identity.h"
#include "common/hresult_error.h"
#include "random_cases.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr std::uint64_t DefaultSeed = 0x5EED0001;
constexpr int CaseCount = 3000;
constexpr std::size_t LongestLine = 70000;

// Pieces that look like the prefix without being it, and the prefix itself.
const std::vector<std::string> PrefixLookalikes = {"uuid:",     "uuid:",  "UUID:", "uuid",   "uuid;",
                                                   "uuiduuid:", "uu:id:", "Uuid:", "uuid :", "uuid:uuid:"};

struct ModelUdn {
    bool found = false;
    std::wstring text;
    bool conversionFails = false;
};

ModelUdn ExpectedUdn(const std::string& line)
{
    ModelUdn model;
    const std::string prefix = "uuid:";
    for (std::size_t start = 0; start + prefix.size() <= line.size() && !model.found; ++start) {
        model.found = line.compare(start, prefix.size(), prefix) == 0;
        if (model.found) {
            const char* udn = line.c_str() + start;
            const int characters = ::MultiByteToWideChar(CP_ACP, 0, udn, -1, nullptr, 0);
            model.conversionFails = characters == 0;
            if (!model.conversionFails) {
                std::wstring converted(static_cast<std::size_t>(characters), L'\0');
                ::MultiByteToWideChar(CP_ACP, 0, udn, -1, converted.data(), characters);
                model.text.assign(converted.c_str());
            }
        }
    }
    return model;
}

char RandomByte(kxtest::RandomCases& random)
{
    // Mostly the bytes of a UDN and of blanks and quotes, sometimes any non-NUL byte.
    static const std::string typical = "uuid:0123456789abcdef-\" ";
    return random.Percent(50) ? typical[random.Between(0, typical.size() - 1)]
                              : static_cast<char>(random.Between(1, 255));
}

std::string RandomCommandLine(kxtest::RandomCases& random)
{
    std::string line;
    const std::size_t length = random.SkewedLength(LongestLine);
    const unsigned prefixChance = random.Percent(30) ? 0 : 2;
    while (line.size() < length) {
        if (random.Percent(prefixChance)) {
            line += random.Pick(PrefixLookalikes);
        } else {
            line += RandomByte(random);
        }
    }
    // Lines that straddle the size from which the conversion moves to the heap.
    if (random.Percent(5)) {
        line = "uuid:" + std::string(random.Between(4085, 4100), 'a');
    }
    return line;
}

TEST(RandomCommandLines, UdnEqualsTheModelsForEveryLine)
{
    kxtest::RandomCases random("RandomCommandLines", DefaultSeed);
    std::printf("ANSI code page %u\n", ::GetACP());
    int withUdn = 0;
    for (int caseNumber = 0; caseNumber < CaseCount; ++caseNumber) {
        const std::string line = RandomCommandLine(random);
        const ModelUdn expected = ExpectedUdn(line);
        kx::CountedString udn = kx::CountedString::Make(L"untouched");
        bool found = false;
        bool raised = false;
        try {
            found = kx::ExtractDeviceUdn(line.c_str(), udn);
        } catch (const kx::HResultError&) {
            raised = true;
        }
        SCOPED_TRACE("case " + std::to_string(caseNumber) + ", line of " + std::to_string(line.size()) + " bytes");
        ASSERT_EQ(expected.conversionFails, raised);
        ASSERT_EQ(expected.found && !raised, found);
        if (!found) {
            ASSERT_STREQ(L"untouched", udn.Text());
            continue;
        }
        ++withUdn;
        ASSERT_EQ(expected.text.size(), udn.Length());
        ASSERT_TRUE(expected.text == std::wstring(udn.Text(), udn.Length()))
            << kxtest::DescribeText(expected.text.substr(0, 80));
    }
    // Both outcomes must be common, or the suite tests only one of them.
    EXPECT_GT(withUdn, CaseCount / 4);
    EXPECT_LT(withUdn, CaseCount * 3 / 4);
}

} // namespace
