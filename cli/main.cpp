// The leafmend command line over the command library: parses arguments with
// CLI11 and calls the library; exit code 0 when every page went through, 1
// when a page or file failed, 2 for usage errors.
//   leafmend run -p Rotate -p "Rotate RotationAngle=180" INPUT... -o OUTDIR
//   leafmend run --job JOB.xml INPUT... -o OUTDIR [--dry-run] [--from-file LIST | -]
//   leafmend save-job -p ... -o JOB.xml
//   leafmend list
//   leafmend show NAME [-p KEY=VALUE]... [--help]
//   leafmend register | unregister
#include "cli/AtomicFile.h"
#include "cli/BatchRunner.h"
#include "cli/CliError.h"
#include "cli/InputList.h"
#include "cli/JobFile.h"
#include "cli/PageStaging.h"
#include "cli/ProcessFactory.h"
#include "cli/ProcessModule.h"
#include "cli/RemovedPages.h"
#include "cli/Text.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/registry/Registry.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

namespace {

constexpr int kUsageError = 2;

// The pipeline from the job file (if any) followed by the -p processes; --zone
// zones go to every zone-capable process.
std::vector<PipelineStep> BuildPipeline(const ProcessFactory& factory, const std::string& jobPath,
                                        const std::vector<std::string>& processTexts,
                                        const std::vector<std::string>& zones) {
    std::vector<PipelineStep> steps;
    if (!jobPath.empty()) steps = JobFile::Load(jobPath, factory);
    for (const std::string& processText : processTexts) {
        const std::string name = processText.substr(0, processText.find(' '));
        const std::string kind = factory.ShortName(name);
        steps.push_back(PipelineStep{kind, factory.CreateFromText(processText), kind});
    }
    if (steps.empty()) throw CliError("no process given: name one with -p or --job (see 'leafmend list')");
    if (!zones.empty()) {
        bool applied = false;
        for (const PipelineStep& step : steps) {
            if (!ProcessFactory::HasZones(step.process)) continue;
            for (const std::string& zone : zones) ProcessFactory::AddZone(step.process, step.name, zone);
            applied = true;
        }
        if (!applied) throw CliError("--zone given, but no process of the pipeline works on zones");
    }
    return steps;
}

struct RunArguments {
    std::string jobPath, outputDir, reportPath, listFile, removedDir;
    std::vector<std::string> processTexts, zones, inputs;
    bool failFast = false, quiet = false, dryRun = false;
    unsigned long long maxPixels = 0;  // 0: the image library's default
    int jobs = 1;
    std::string compression = "fast";
};

int RunCommand(const RunArguments& args) {
    imagefile::Compression compression;
    std::string compressionError;
    if (imagefile::ParseCompression(args.compression, &compression, &compressionError) < 0)
        throw CliError("--compression: " + compressionError);
    const std::vector<std::string> inputs = InputList::Gather(args.inputs, std::cin, args.listFile);
    // A dry run without inputs checks the pipeline (and job file) alone.
    if (inputs.empty() && !args.dryRun) throw CliError("no input files given");
    if (!args.dryRun && args.outputDir.empty()) throw CliError("--output is required (or --dry-run)");
    BatchRunner::CheckTargets(inputs, args.outputDir, args.reportPath);
    RemovedPages::CheckTargets(inputs, args.outputDir, args.removedDir, args.reportPath);
    if (args.maxPixels) imagefile::SetMaxPixels(args.maxPixels);
    ProcessFactory factory;
    if (!args.dryRun) {
        // Working copies of pages that a killed run left, and temporaries in the removed pages' folder.
        std::vector<std::string> stale = PageStaging::RemoveStale();
        if (!args.removedDir.empty())
            for (std::string& path : RemovedPages::Prepare(args.removedDir)) stale.push_back(std::move(path));
        for (const std::string& path : stale)
            std::cerr << "leafmend: warning: removed " << text::Printable(path)
                      << ", left behind by an interrupted run\n";
    }
    BatchOptions options{args.outputDir, args.failFast, !args.quiet && ::isatty(STDERR_FILENO), args.dryRun, args.jobs};
    options.removedDir = args.removedDir;
    options.compression = compression;
    BatchRunner runner([&] { return BuildPipeline(factory, args.jobPath, args.processTexts, args.zones); }, options);
    BatchResult result = runner.Run(inputs);
    if (!args.reportPath.empty() && !args.dryRun) result.report.Write(args.reportPath);
    if (!args.quiet) {
        if (args.dryRun) {
            std::cout << "Checked " << inputs.size() << " file(s), " << result.pages
                      << " page(s): " << result.failedFiles << " file(s) unreadable. Nothing was written.\n";
        } else {
            std::cout << "Processed " << result.pages << " page(s) from " << inputs.size()
                      << " file(s): " << result.failedPages << " failed, " << result.removedPages << " removed, "
                      << result.failedFiles << " file(s) unreadable or unwritable.\n";
            if (result.unhandledPages)
                std::cout << result.unhandledPages << " page(s) were left alone by a process that did not handle them"
                          << " (unsupported depth or setting; see the status messages in --report).\n";
            for (const std::string& line : result.removed) std::cout << "Removed " << line << "\n";
            std::cout << "Wrote " << result.written.size() << " file(s) to " << text::Printable(args.outputDir) << "\n";
            if (!args.removedDir.empty())
                std::cout << "Wrote " << result.removedWritten.size() << " file(s) of removed pages to "
                          << text::Printable(args.removedDir) << "\n";
        }
    }
    return (result.failedPages || result.failedFiles) ? 1 : 0;
}

void PrintProperties(const std::vector<PropertyInfo>& properties) {
    for (const PropertyInfo& property : properties) {
        std::cout << "    " << property.name << "  " << property.type << "  default " << property.value << "\n";
        if (!property.meaning.empty()) std::cout << "        " << property.meaning << "\n";
    }
}

int ListCommand() {
    ProcessFactory factory;
    for (const ProcessInfo& info : factory.Available()) {
        std::cout << info.shortName << "  (" << info.progId << ")\n";
        PrintProperties(info.properties);
    }
    return 0;
}

int ShowCommand(const std::string& name, const std::vector<std::string>& assignments) {
    ProcessFactory factory;
    CComPtr<IZRProcessEx> process = factory.Create(name);
    for (const std::string& assignment : assignments) ProcessFactory::SetProperty(process, name, assignment);
    CComBSTR xml;
    const HRESULT hr = process->get_XML(&xml);
    if (FAILED(hr)) throw CliError("cannot describe " + name + ": " + ProcessFactory::LastErrorText(hr));
    std::cout << xml.utf8();
    return 0;
}

// `show NAME --help`: the subcommand's help, then the process's properties with their meanings.
int ShowHelp(const std::string& name) {
    ProcessFactory factory;
    CComPtr<IZRProcessEx> process = factory.Create(name);
    std::cout << "\nProperties of " << factory.ShortName(name) << " (" << factory.ResolveProgId(name) << "):\n";
    PrintProperties(ProcessFactory::Properties(process));
    return 0;
}

int SaveJobCommand(const std::vector<std::string>& processTexts, const std::vector<std::string>& zones,
                   const std::string& output) {
    ProcessFactory factory;
    JobFile::Save(output, BuildPipeline(factory, "", processTexts, zones));
    std::cout << "Wrote " << output << "\n";
    return 0;
}

// Writes (or removes) the module's registration in the persistent registry
// file; the host's own classes are never written there.
int RegisterCommand(bool unregister) {
    Registry& registry = Registry::Instance();
    registry.SetVolatile(false);
    registry.Reset();
    const ProcessModule& module = ProcessModule::Load();
    const HRESULT hr = unregister ? module.Unregister() : module.Register();
    if (FAILED(hr))
        throw RunFailure(std::string("cannot ") + (unregister ? "unregister" : "register") + " the process module in " +
                         registry.BackingFile() + ": " + ProcessFactory::LastErrorText(hr));
    std::cout << (unregister ? "Unregistered " : "Registered ") << module.Path() << " in " << registry.BackingFile()
              << "\n";
    return 0;
}

// An argument before "--" that looks like a file but starts with '-'.
std::string DashFileHint(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--") break;
        if (argument.size() < 2 || argument[0] != '-' || argument[1] == '-') continue;
        std::error_code ec;
        const std::string extension = text::Lower(std::filesystem::path(argument).extension().string());
        if (std::filesystem::exists(argument, ec) || extension == ".tif" || extension == ".tiff" ||
            extension == ".png" || extension == ".jpg" || extension == ".jpeg")
            return "leafmend: " + argument +
                   " is taken as an option; to name an input file that starts with '-', put "
                   "it after --, e.g. leafmend run -p Invert -o out -- " +
                   argument + "\n";
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    AtomicFile::InstallSignalCleanup();
    CLI::App app{"leafmend: cleans up scanned pages (TIFF, PNG, JPEG) with a pipeline of processes."};
    app.require_subcommand(1);

    auto* run = app.add_subcommand("run", "Run processes over every page of the input files.");
    RunArguments args;
    run->add_option("-p,--process", args.processTexts,
                    "A process in pipeline order: a name (see 'leafmend list') or ProgID, optionally followed by "
                    "KEY=VALUE properties, e.g. \"Rotate RotationAngle=180\". Repeat for more processes. A token "
                    "zone=LEFT,TOP,WIDTH,HEIGHT adds a zone (pixels) to that process; mode=N sets its process mode "
                    "(mode=8: every page, whatever its range; PageRemoval with THRESHOLD above 0 then only reports "
                    "each page's size and removes nothing).")
        ->allow_extra_args(false);
    run->add_option("--job", args.jobPath,
                    "A job file: Process elements as processes save them (see 'leafmend show' and 'leafmend "
                    "save-job'), run in document order before any -p processes; a Process element's Mode attribute "
                    "sets its process mode.")
        ->check(CLI::ExistingFile);
    const char* zoneHelp =
        "A zone LEFT,TOP,WIDTH,HEIGHT in pixels for every zone-capable process (Invert); repeatable. "
        "Zones limit such processes to those rectangles.";
    run->add_option("--zone", args.zones, zoneHelp)->allow_extra_args(false);
    run->add_option("inputs", args.inputs,
                    "Input image files (TIFF, PNG, JPEG; multi-page TIFF allowed). '-' reads one path a line from "
                    "standard input; names starting with '-' go after --.");
    run->add_option("--from-file", args.listFile, "Read input paths from this file, one a line.");
    run->add_option("-o,--output", args.outputDir,
                    "Output folder; each result keeps its input's file name and format.");
    run->add_option("--removed", args.removedDir,
                    "Folder for the pages a process removed (PageRemoval), as read from the input: one file per "
                    "input with a removed page, under the input's name and format (a multi-page TIFF's removed "
                    "pages in one TIFF). Without it removed pages are dropped.");
    run->add_option("--report", args.reportPath, "Write a JSON report of every page (result, messages, errors, time).");
    run->add_option("--max-pixels", args.maxPixels,
                    "Largest page to decode, in pixels (default 400 million); a larger page fails as too large "
                    "before any memory is taken for it.")
        ->check(CLI::PositiveNumber);
    run->add_option("--compression", args.compression,
                    "How outputs are compressed, comma-separated choices: fast (default: PNG zlib level 1, TIFF LZW, "
                    "1-bit TIFF G4, JPEG at the input's quality), best (smallest lossless: PNG level 9, TIFF "
                    "deflate 9, 1-bit G4, optimised JPEG), none, lzw, deflate[:1-9], g4 (1-bit TIFF pages), "
                    "jpeg:1-100. Each applies where it fits; PNG and TIFF stay lossless.");
    run->add_flag("--dry-run", args.dryRun, "Check the pipeline, the job file and the inputs; write nothing.");
    run->add_flag("--fail-fast", args.failFast,
                  "Stop at the first failing page (its file is not written) instead of going on with the next.");
    run->add_flag("-q,--quiet", args.quiet, "No progress bar and no summary.");
    run->add_option("-j,--jobs", args.jobs,
                    "Files processed in parallel, each worker with its own processes (default 1).")
        ->check(CLI::Range(1, 256));

    app.add_subcommand("list", "List the available processes with their properties, defaults and meanings.");

    auto* show = app.add_subcommand(
        "show", "Print a process's saved XML (with -p KEY=VALUE properties set); with --help, its properties.");
    std::string showName;
    std::vector<std::string> showProps;
    show->add_option("name", showName, "Process name or ProgID.")->required();
    show->add_option("-p,--property", showProps, "KEY=VALUE property to set before saving.")->allow_extra_args(false);

    auto* saveJob = app.add_subcommand("save-job", "Write the pipeline given with -p (and --zone) as a job file.");
    std::vector<std::string> jobProcessTexts, jobZones;
    std::string jobOutput;
    saveJob
        ->add_option("-p,--process", jobProcessTexts,
                     "A process as for 'run -p' (a mode=N token is saved as the Process element's Mode "
                     "attribute); repeat for more.")
        ->required()
        ->allow_extra_args(false);
    saveJob->add_option("--zone", jobZones, zoneHelp)->allow_extra_args(false);
    saveJob->add_option("-o,--output", jobOutput, "The job file to write.")->required();

    auto* reg = app.add_subcommand("register", "Register the process module in the per-user registry file.");
    auto* unreg = app.add_subcommand("unregister", "Remove the process module's registration.");

    try {
        try {
            app.parse(argc, argv);
        } catch (const CLI::CallForHelp& e) {
            app.exit(e);
            if (*show && !showName.empty()) return ShowHelp(showName);
            return 0;
        } catch (const CLI::ParseError& e) {
            if (e.get_exit_code() == 0) return app.exit(e);
            app.exit(e);
            std::cerr << DashFileHint(argc, argv);
            return kUsageError;
        }
        if (*run) return RunCommand(args);
        if (*saveJob) return SaveJobCommand(jobProcessTexts, jobZones, jobOutput);
        if (app.got_subcommand("list")) return ListCommand();
        if (*show) return ShowCommand(showName, showProps);
        if (*reg) return RegisterCommand(false);
        if (*unreg) return RegisterCommand(true);
    } catch (const CliError& e) {
        std::cerr << "leafmend: " << e.what() << "\n";
        return kUsageError;
    } catch (const RunFailure& e) {
        std::cerr << "leafmend: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "leafmend: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
