#include "vnservice/CEventLog.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "vnservice/Identities.h"

#include <gtest/gtest.h>

namespace
{
TEST(Status, success_is_empty_and_failures_share_their_marks)
{
    CStatus success;
    EXPECT_TRUE(success.IsSuccess());
    EXPECT_EQ(success.GetInternalErrorCode(), 0u);
    success.Ignored();
    EXPECT_FALSE(success.IsIgnored());

    CStatus failure = CErrorGenMessage("GenericTarOps", 42, 0xC00007D7, {FormatParameter("0x%X", 3)});
    CStatus copy = failure;
    copy.Ignored();
    EXPECT_TRUE(failure.IsIgnored());
    EXPECT_EQ(failure.GetInternalErrorCode(), 0xC00007D7u);
    EXPECT_EQ(failure.GetParameters(), std::vector<std::string>{"0x3"});
    EXPECT_EQ(failure.GetRecord()->SourceFile, "GenericTarOps");
    EXPECT_EQ(failure.GetRecord()->Line, 42);
    EXPECT_EQ(failure.ToString(), "0xC00007D7: the operation reached an unknown state or sub-code 0x3");
}

TEST(Status, parameters_take_the_formats_of_the_windows_runtime)
{
    const struct
    {
        const char* Format;
        std::uint64_t Value;
        const char* Text;
    } cases[] = {
        {"%d", 7, "7"},
        {"%d", 0xFFFFFFFF, "-1"},
        {"%I64u", 0x123456789ULL, "4886718345"},
        {"%I64d", static_cast<std::uint64_t>(-5), "-5"},
        {"0x%X", 0xC0, "0xC0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatParameter(c.Format, c.Value), c.Text) << c.Format;
}

TEST(Status, generators_record_numbers_os_errors_and_the_volume)
{
    CVolumeID volume(CVolumeSetID(CSystemID(0xABCDEF01), 9), 77);
    CStatus fs = CErrorGenFileSystem("GenericTar", 1, 0xC000377D, volume, {"ustar"});
    EXPECT_EQ(fs.GetParameters(), (std::vector<std::string>{"ustar", "ABCDEF01-9-77"}));
    // A parameter's own text is taken as it stands, marks and all.
    CStatus marked = CErrorGenMessage("x", 4, HostErrorNotCatalogued, {"a%2b", "other"});
    EXPECT_EQ(marked.ToString(), "0xC0000D0A: no file \"a%2b\" in the catalogue of volume other");
    CStatus os = CErrorNumber::OsError("x", 2, 34);
    EXPECT_EQ(os.GetOSStatus(), 34u);
    CStatus memory = CErrorGenMemory("x", 3, 4096);
    EXPECT_EQ(memory.GetInternalErrorCode(), HostErrorOutOfMemory);
    EXPECT_EQ(memory.GetParameters(), std::vector<std::string>{"4096"});
}

TEST(ErrorTexts, a_module_adds_the_texts_of_its_own_numbers_and_a_number_keeps_its_first_text)
{
    // Numbers that nothing else raises.
    constexpr std::uint32_t Own = 0xC000FF01;
    constexpr std::uint32_t Later = 0xC000FF02;
    EXPECT_EQ(CErrorGenMessage("x", 1, Own, {"p"}).ToString(), "0xC000FF01: host error p");
    constexpr ErrorText first[] = {{Own, "first %1"}, {HostErrorDrive, "not the drive's %1"}};
    constexpr ErrorText second[] = {{Own, "second %1"}, {Later, "later %1"}};
    ASSERT_TRUE(RegisterErrorTexts(first));
    ASSERT_TRUE(RegisterErrorTexts(first));
    ASSERT_TRUE(RegisterErrorTexts(second));
    const struct
    {
        std::uint32_t Code;
        const char* Text;
    } cases[] = {
        {Own, "0xC000FF01: first p"},
        {Later, "0xC000FF02: later p"},
        {HostErrorDrive, "0xC0000D06: drive: p"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CErrorGenMessage("x", 1, c.Code, {"p"}).ToString(), c.Text);
}

TEST(EventLog, logs_failures_but_not_those_marked_handled)
{
    CEventLog::TakeLogged();
    CEventLog::LogStatus(CStatus());
    CStatus ignored = CErrorGenMessage("x", 1, 0xC00003ED);
    ignored.Ignored();
    CEventLog::LogStatus(ignored);
    CStatus handled = CErrorGenMessage("x", 1, 0xC00003ED);
    handled.NotPropagated();
    CEventLog::LogStatus(handled);
    CStatus reported = CErrorGenMessage("x", 1, 0xC00003ED);
    CEventLog::LogStatus(reported);
    auto logged = CEventLog::TakeLogged();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_TRUE(logged[0].SameRecord(reported));
}

TEST(Identities, volume_identity_text_round_trips_and_bad_text_is_refused)
{
    CVolumeID id(CVolumeSetID(CSystemID(0x0000BEEF), 6), 4294967295u);
    EXPECT_EQ(id.ToString(), "0000BEEF-6-4294967295");
    CVolumeID back;
    ASSERT_TRUE(CVolumeID::FromString(u" 0000beef-6-4294967295 ", back).IsSuccess());
    EXPECT_EQ(back, id);
    for (const char16_t* bad :
         {u"", u"1-2", u"1-2-3-4", u"G-1-1", u"1-x-1", u"1-1-4294967296", u"1--1", u"\u00E9-1-1"})
    {
        CVolumeID kept = id;
        CStatus status = CVolumeID::FromString(bad, kept);
        EXPECT_EQ(status.GetInternalErrorCode(), HostErrorBadVolumeIdText) << WideParameter(bad);
        EXPECT_EQ(kept, id);
    }
}
} // namespace
