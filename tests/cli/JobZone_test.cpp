// The job-file workflow a user follows: save a process with `leafmend show`,
// add a zone, run the job; and job files that must be refused before any
// page is touched.
#include "platform/imagelib/ImageWrapper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class JobZoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = fs::temp_directory_path() / ("leafmend-job-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(work_);
        // A white 8-bit page of 60 x 40.
        const int page = ImageWrapper::create_handle_from_scratch(60, 40, 8);
        ImageWrapper::set_resolution(page, 300, 300);
        ASSERT_GE(imagefile::SavePages((work_ / "page.png").string(), {page}, ImageFileFormat::Png), 0);
        ImageWrapper::delete_bitmap(page);
    }
    void TearDown() override { fs::remove_all(work_); }
    int Leafmend(const std::string& arguments) {
        const std::string command = std::string(LEAFMEND_BIN) + " " + arguments + " > " + (work_ / "stdout").string() +
                                    " 2> " + (work_ / "stderr").string();
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Read(const fs::path& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    fs::path work_;
};

TEST_F(JobZoneTest, SavedInvertWithOneZoneInvertsOnlyThatZone) {
    ASSERT_EQ(Leafmend("show Invert"), 0);
    std::string xml = Read(work_ / "stdout");
    const std::string zone =
        "<ZoneManager><Zone Units=\"4\" Left=\"10\" Top=\"5\" Width=\"20\" Height=\"8\"/></ZoneManager>";
    const auto at = xml.find("<ZoneManager />");
    ASSERT_NE(at, std::string::npos) << xml;
    xml.replace(at, std::string("<ZoneManager />").size(), zone);
    std::ofstream((work_ / "job.xml")) << "<Job>" << xml.substr(xml.find("<Process")) << "</Job>";
    ASSERT_EQ(Leafmend("run -q --job " + (work_ / "job.xml").string() + " " + (work_ / "page.png").string() + " -o " +
                       (work_ / "out").string()),
              0)
        << Read(work_ / "stderr");
    const int result = imagefile::LoadPage((work_ / "out/page.png").string(), 0);
    ASSERT_GE(result, 0);
    const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(result);
    ASSERT_EQ(dib->biBitCount, 8);
    for (int y = 0; y < 40; ++y) {
        const BYTE* row = dib::Bits(dib) + dib::Stride(60, 8) * (39 - y);
        for (int x = 0; x < 60; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 5 && y < 13;
            ASSERT_EQ(row[x], inside ? 0 : 255) << x << "," << y;
        }
    }
    ImageWrapper::delete_bitmap(result);
}

TEST_F(JobZoneTest, ZoneOptionAppliesToZoneCapableProcesses) {
    ASSERT_EQ(Leafmend("run -q -p Invert --zone 0,0,5,5 " + (work_ / "page.png").string() + " -o " +
                       (work_ / "out").string()),
              0);
    const int result = imagefile::LoadPage((work_ / "out/page.png").string(), 0);
    const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(result);
    EXPECT_EQ(dib::Bits(dib)[dib::Stride(60, 8) * 39 + 4], 0);    // (4, 0) inverted
    EXPECT_EQ(dib::Bits(dib)[dib::Stride(60, 8) * 39 + 5], 255);  // (5, 0) kept
    ImageWrapper::delete_bitmap(result);
    EXPECT_NE(Leafmend("run -q -p Rotate --zone 0,0,5,5 " + (work_ / "page.png").string() + " -o " +
                       (work_ / "out2").string()),
              0);
}

TEST_F(JobZoneTest, FailingPageGoesOutAsItCameInAndIsReported) {
    // A 7-pixel-wide page: rotate succeeds, then a zone run cannot wrap the
    // 5-pixel-wide result and fails.
    const int page = ImageWrapper::create_handle_from_scratch(7, 5, 8);
    dib::Bits(ImageWrapper::get_raw_dib(page))[0] = 17;
    ASSERT_GE(imagefile::SavePages((work_ / "narrow.png").string(), {page}, ImageFileFormat::Png), 0);
    ImageWrapper::delete_bitmap(page);
    EXPECT_EQ(Leafmend("run -q -p Rotate -p \"Invert zone=0,0,2,2\" " + (work_ / "narrow.png").string() + " " +
                       (work_ / "page.png").string() + " -o " + (work_ / "out").string()),
              1);
    const std::string error = Read(work_ / "stderr");
    EXPECT_NE(error.find("narrow.png: page 1: Invert: Invalid image dimensions (0x80040875)"), std::string::npos)
        << error;
    const int result = imagefile::LoadPage((work_ / "out/narrow.png").string(), 0);
    ASSERT_GE(result, 0);
    const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(result);
    EXPECT_EQ(dib->biWidth, 7);
    EXPECT_EQ(dib->biHeight, 5);
    EXPECT_EQ(dib::Bits(dib)[0], 17);
    ImageWrapper::delete_bitmap(result);
    // The other file of the batch was still processed.
    EXPECT_TRUE(fs::exists(work_ / "out/page.png"));
}

TEST_F(JobZoneTest, SameOutputNameTwiceIsRefused) {
    fs::create_directories(work_ / "other");
    fs::copy_file(work_ / "page.png", work_ / "other/page.png");
    EXPECT_EQ(Leafmend("run -q -p Invert " + (work_ / "page.png").string() + " " + (work_ / "other/page.png").string() +
                       " -o " + (work_ / "out").string()),
              2);
    EXPECT_NE(Read(work_ / "stderr").find("would both be written as page.png"), std::string::npos);
}

struct BadJob {
    const char* label;
    const char* xml;
    const char* cause;
};

class BadJobTest : public JobZoneTest, public ::testing::WithParamInterface<BadJob> {};

TEST_P(BadJobTest, IsRefusedBeforeAnyPageWithLineAndCause) {
    std::ofstream(work_ / "job.xml") << GetParam().xml;
    EXPECT_NE(Leafmend("run --job " + (work_ / "job.xml").string() + " " + (work_ / "page.png").string() + " -o " +
                       (work_ / "out").string()),
              0);
    const std::string error = Read(work_ / "stderr");
    EXPECT_NE(error.find(GetParam().cause), std::string::npos) << error;
    EXPECT_NE(error.find("job.xml:"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(work_ / "out/page.png"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadJobTest,
    ::testing::Values(
        BadJob{"UnknownProgId", "<Job>\n<Process ProgID=\"ZRLeafmendClient91.Sharpen.1\"/>\n</Job>",
               "job.xml:2: unknown process"},
        BadJob{"Malformed", "<Job>\n<Process ProgID=\"ZRLeafmendClient91.Invert.1\">\n</Job>", "malformed XML"},
        BadJob{"WrongType",
               "<Job>\n<Process ProgID=\"ZRLeafmendClient91.Rotate.1\"><PropertyBag>\n<Property Name=\"RotationAngle\" "
               "Type=\"VT_I2\" Value=\"left\"/></PropertyBag></Process></Job>",
               "not a valid VT_I2"},
        BadJob{"NoProcess", "<Job/>", "no Process element"},
        BadJob{"BadZone",
               "<Job><Process ProgID=\"ZRLeafmendClient91.Invert.1\"><ZoneManager><Zone Left=\"x\"/></ZoneManager>"
               "</Process></Job>",
               "not a whole number"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
