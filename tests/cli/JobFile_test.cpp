// The job loader as a library: what it refuses (with file, line and cause),
// its limits, and what it builds from a good file.
#include "cli/JobFile.h"
#include "host/interfaces/ZRPageRange.h"

#include "tests/cli/CommandTestSupport.h"

namespace {

const ProcessFactory& Factory() {
    static const ProcessFactory factory;
    return factory;
}

std::string Refusal(const std::string& xml, const JobLimits& limits = {}) {
    try {
        JobFile::Parse(xml, "job.xml", Factory(), limits);
    } catch (const CliError& e) {
        return e.what();
    }
    return "(accepted)";
}

struct Refused {
    const char* label;
    std::string xml;
    const char* message;
};

void PrintTo(const Refused& value, std::ostream* out) { *out << value.label; }

class JobRefusalTest : public ::testing::TestWithParam<Refused> {};

TEST_P(JobRefusalTest, NamesFileLineAndCause) {
    const std::string message = Refusal(GetParam().xml);
    EXPECT_NE(message.find(GetParam().message), std::string::npos) << message;
}

std::string Nested(int depth) {
    std::string xml = "<Job><Process ProgID=\"ZRLeafmendClient91.Invert.1\">\n";
    for (int i = 0; i < depth; ++i) xml += "<a>";
    for (int i = 0; i < depth; ++i) xml += "</a>";
    return xml + "</Process></Job>";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JobRefusalTest,
    ::testing::Values(Refused{"Malformed", "<Job>\n<Process>\n</Job>", "job.xml:3: malformed XML"},
                      Refused{"NoRoot", "", "job.xml:1: malformed XML: No document element found"},
                      Refused{"NoProcess", "<Job><process2 /></Job>", "job.xml: the job file holds no Process element"},
                      Refused{"NoProgId", "<Job>\n\n<Process Name=\"x\" /></Job>",
                              "job.xml:3: Process element without a ProgID"},
                      Refused{"UnknownProgId", "<Job>\n<Process ProgID=\"ZRLeafmendClient91.Sharpen.1\"/></Job>",
                              "job.xml:2: unknown process 'ZRLeafmendClient91.Sharpen.1'"},
                      Refused{"TooDeep", Nested(200000), "job.xml:2: elements nested deeper than 64 levels"},
                      Refused{"WrongTypeValue",
                              "<Job><Process ProgID=\"ZRLeafmendClient91.Rotate.1\"><PropertyBag>\n\n<Property "
                              "Name=\"RotationAngle\" Type=\"VT_BSTR\" Value=\"abc\"/></PropertyBag></Process></Job>",
                              "job.xml:3: RotationAngle"}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    ModeCases, JobRefusalTest,
    ::testing::Values(Refused{"ModeNotANumber",
                              "<Job>\n<Process ProgID=\"ZRLeafmendClient91.PageRemoval.1\" Mode=\"8x\"/></Job>",
                              "job.xml:2: the mode of Process must be a whole number; '8x'"},
                      Refused{"ModeOutOfRange",
                              "<Job>\n<Process ProgID=\"ZRLeafmendClient91.PageRemoval.1\" Mode=\"4294967296\"/></Job>",
                              "job.xml:2: the mode of Process must be a whole number; '4294967296' is out of range"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(JobFileTest, CountsAreLimited) {
    std::string many = "<Job>";
    for (int i = 0; i < 300; ++i) many += "<Process ProgID=\"ZRLeafmendClient91.Invert.1\"/>\n";
    many += "</Job>";
    EXPECT_NE(Refusal(many).find("job.xml:257: more than 256 Process elements"), std::string::npos) << Refusal(many);
    JobLimits small;
    small.elements = 10;
    std::string wide = "<Job><Process ProgID=\"ZRLeafmendClient91.Invert.1\"/>";
    for (int i = 0; i < 20; ++i) wide += "\n<Note/>";
    wide += "</Job>";
    EXPECT_NE(Refusal(wide, small).find("job.xml:10: the job file holds more than 10 elements"), std::string::npos)
        << Refusal(wide, small);
}

TEST(JobFileTest, LoadsProcessesInOrderWithTheirSettings) {
    const auto steps = JobFile::Parse(
        "<Job>\n"
        "<Process Name=\"first\" ProgID=\"ZRLeafmendClient91.Rotate.1\"><PropertyBag>"
        "<Property Name=\"RotationAngle\" Type=\"VT_I2\" Value=\"270\"/></PropertyBag></Process>\n"
        "<Note><Process ProgID=\"ZRLeafmendClient91.Deskew.1\"/></Note>\n"
        "<process ProgID=\"zrleafmendclient91.invert\"><PageRange Range=\"2-3\"/></process>\n"
        "</Job>",
        "job.xml", Factory());
    ASSERT_EQ(steps.size(), 2u);  // the Process inside Note is not a step
    EXPECT_EQ(steps[0].name, "first");
    EXPECT_EQ(steps[0].kind, "Rotate");
    CComVariant angle;
    CComBSTR key(u"RotationAngle");
    ASSERT_EQ(steps[0].process->get_Properties(key, &angle), S_OK);
    EXPECT_EQ(angle.vt, VT_I2);
    EXPECT_EQ(angle.iVal, 270);
    EXPECT_EQ(steps[1].name, "Invert");
    CComPtr<ZRPageRange> range;
    ASSERT_EQ(steps[1].process->GetPageRange(&range), S_OK);
    CComBSTR text;
    range->GetRange(&text);
    EXPECT_EQ(text.utf8(), "2-3");
}

TEST(JobFileTest, SavedValueOfAnotherTypeBecomesTheDeclaredType) {
    const auto steps = JobFile::Parse(
        "<Job><Process ProgID=\"ZRLeafmendClient91.Rotate.1\"><PropertyBag><Property Name=\"RotationAngle\" "
        "Type=\"VT_BSTR\" Value=\"180\"/></PropertyBag></Process></Job>",
        "job.xml", Factory());
    ASSERT_EQ(steps.size(), 1u);
    CComVariant angle;
    CComBSTR key(u"RotationAngle");
    ASSERT_EQ(steps[0].process->get_Properties(key, &angle), S_OK);
    EXPECT_EQ(angle.vt, VT_I2);
    EXPECT_EQ(angle.iVal, 180);
}

TEST(JobFileTest, SavedJobLoadsBackTheSamePipeline) {
    const fs::path path = fs::temp_directory_path() / ("leafmend-job-" + std::to_string(::getpid()) + ".xml");
    std::vector<PipelineStep> steps;
    steps.push_back(PipelineStep{"Rotate", Factory().CreateFromText("Rotate RotationAngle=180"), "Rotate"});
    steps.push_back(PipelineStep{"Invert", Factory().CreateFromText("Invert zone=1,2,3,4"), "Invert"});
    JobFile::Save(path.string(), steps);
    const auto loaded = JobFile::Load(path.string(), Factory());
    ASSERT_EQ(loaded.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        CComBSTR saved, again;
        steps[i].process->get_XML(&saved);
        loaded[i].process->get_XML(&again);
        EXPECT_EQ(saved.utf8(), again.utf8());
    }
    EXPECT_EQ((fs::status(path).permissions() & fs::perms::others_read) != fs::perms::none, (~[] {
                                                                                                const mode_t mask =
                                                                                                    ::umask(0);
                                                                                                ::umask(mask);
                                                                                                return mask;
                                                                                            }() &
                                                                                             0004) != 0);
    fs::remove(path);
}

// The process mode is no part of what a process saves: the job file keeps it
// as the Process element's Mode attribute, only where it is not 0.
TEST(JobFileTest, ProcessModeRoundTripsThroughTheModeAttribute) {
    const fs::path path = fs::temp_directory_path() / ("leafmend-mode-" + std::to_string(::getpid()) + ".xml");
    std::vector<PipelineStep> steps;
    steps.push_back(
        PipelineStep{"PageRemoval", Factory().CreateFromText("PageRemoval THRESHOLD=5000 mode=8"), "PageRemoval"});
    steps.push_back(PipelineStep{"Invert", Factory().CreateFromText("Invert"), "Invert"});
    JobFile::Save(path.string(), steps);
    const std::string text = ReadText(path);
    EXPECT_NE(text.find("ProgID=\"ZRLeafmendClient91.PageRemoval.1\" Mode=\"8\""), std::string::npos) << text;
    EXPECT_EQ(text.find("Mode=\"0\""), std::string::npos) << text;
    const auto loaded = JobFile::Load(path.string(), Factory());
    ASSERT_EQ(loaded.size(), 2u);
    LONG modes[2] = {-1, -1};
    loaded[0].process->get_Mode(&modes[0]);
    loaded[1].process->get_Mode(&modes[1]);
    EXPECT_EQ(modes[0], 8);
    EXPECT_EQ(modes[1], 0);
    fs::remove(path);
}

TEST(JobFileTest, OversizedFileIsRefusedBeforeParsing) {
    const fs::path path = fs::temp_directory_path() / ("leafmend-big-" + std::to_string(::getpid()) + ".xml");
    std::ofstream(path) << "<Job>" << std::string(2000, ' ') << "</Job>";
    JobLimits small;
    small.bytes = 1000;
    try {
        JobFile::Load(path.string(), Factory(), small);
        ADD_FAILURE() << "accepted";
    } catch (const CliError& e) {
        EXPECT_NE(std::string(e.what()).find("larger than"), std::string::npos) << e.what();
    }
    fs::remove(path);
}

}  // namespace
