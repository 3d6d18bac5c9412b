// The leafmend command line over the command library: parses arguments with
// CLI11 and calls the library. Exit codes: 0 every page went through, 1 a
// page or file failed, 2 usage error, 3 missing dependency (process module,
// image codec), 4 output not writable, 130 interrupted (SIGINT, SIGTERM).
//   leafmend run -p Rotate -p "Rotate RotationAngle=180" INPUT... -o OUTDIR
//   leafmend run --job JOB.xml INPUT... -o OUTDIR [--dry-run] [--from-file LIST | -]
//   leafmend run ... --shard K/N [--report R --resume]
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
#include "cli/ResumeState.h"
#include "cli/RunJournal.h"
#include "cli/Shard.h"
#include "cli/Text.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/registry/Registry.h"

#include <malloc.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

namespace {

constexpr int kAllWell = 0;
constexpr int kPageFailed = 1;
constexpr int kUsageError = 2;
constexpr int kMissingDependency = 3;
constexpr int kOutputNotWritable = 4;

constexpr const char* kExitCodes =
    "Exit codes: 0 every page went through; 1 some page or input file failed; 2 usage error; 3 missing "
    "dependency (the process module cannot be loaded, the image library lacks a codec); 4 output not "
    "writable (output folder cannot be made or written, disk full, report not writable); 130 interrupted "
    "(SIGINT or SIGTERM; temporary files removed).";

// The process module and its registration: without them nothing can run.
std::unique_ptr<ProcessFactory> LoadFactory() {
    try {
        return std::make_unique<ProcessFactory>();
    } catch (const CliError& e) {
        throw DependencyFailure(e.what());
    }
}

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
    std::string shard;
    bool failFast = false, quiet = false, dryRun = false, resume = false;
    unsigned long long maxPixels = 0;  // 0: the image library's default
    int jobs = 1;
    std::string compression = "fast";
};

int RunCommand(const RunArguments& args) {
    imagefile::Compression compression;
    std::string compressionError;
    if (imagefile::ParseCompression(args.compression, &compression, &compressionError) < 0)
        throw CliError("--compression: " + compressionError);
    const std::vector<std::string> listed = InputList::Gather(args.inputs, std::cin, args.listFile);
    // A dry run without inputs checks the pipeline (and job file) alone.
    if (listed.empty() && !args.dryRun) throw CliError("no input files given");
    if (!args.dryRun && args.outputDir.empty()) throw CliError("--output is required (or --dry-run)");
    if (args.resume && args.reportPath.empty())
        throw CliError("--resume needs --report: the report says which files are done");
    if (args.resume && args.dryRun) throw CliError("--resume and --dry-run do not go together");
    // Every shard checks the whole list, so shards never write the same name.
    BatchRunner::CheckTargets(listed, args.outputDir, args.reportPath);
    RemovedPages::CheckTargets(listed, args.outputDir, args.removedDir, args.reportPath);
    const std::vector<std::string> inputs = args.shard.empty() ? listed : Shard::Parse(args.shard).Select(listed);
    if (args.maxPixels) imagefile::SetMaxPixels(args.maxPixels);
    const std::unique_ptr<ProcessFactory> factory = LoadFactory();
    const bool reporting = !args.reportPath.empty() && !args.dryRun;
    if (!args.dryRun) {
        // Working copies of pages that a killed run left, and temporaries in the removed pages' folder.
        std::vector<std::string> stale = PageStaging::RemoveStale();
        if (!args.removedDir.empty()) {
            try {
                for (std::string& path : RemovedPages::Prepare(args.removedDir)) stale.push_back(std::move(path));
            } catch (const RunFailure& e) {
                throw OutputFailure(e.what());
            }
        }
        for (const std::string& path : stale)
            std::cerr << "leafmend: warning: removed " << text::Printable(path)
                      << ", left behind by an interrupted run\n";
    }

    // --resume: inputs done by an earlier run are not run again.
    std::optional<ResumeState> earlier;
    std::vector<bool> skipped(inputs.size(), false);
    std::vector<std::string> todo;
    long skippedCount = 0, skippedPages = 0, skippedFailures = 0;
    if (args.resume) earlier = ResumeState::Load(args.reportPath);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        skipped[i] = earlier && earlier->Done(inputs[i], args.outputDir);
        if (!skipped[i]) {
            todo.push_back(inputs[i]);
            continue;
        }
        skippedCount++;
        skippedPages += earlier->Pages(inputs[i]);
        skippedFailures += earlier->FailedPages(inputs[i]);
    }
    std::unique_ptr<RunJournal> journal;
    if (reporting) journal = std::make_unique<RunJournal>(args.reportPath, args.resume);

    BatchOptions options{args.outputDir, args.failFast, !args.quiet && ::isatty(STDERR_FILENO), args.dryRun, args.jobs};
    options.removedDir = args.removedDir;
    options.compression = compression;
    options.journal = journal.get();
    BatchRunner runner([&] { return BuildPipeline(*factory, args.jobPath, args.processTexts, args.zones); }, options);
    BatchResult result = runner.Run(todo);
    if (reporting) {
        Report report = earlier ? earlier->Merge(inputs, skipped, std::move(result.report)) : std::move(result.report);
        try {
            report.Write(args.reportPath);
        } catch (const RunFailure& e) {
            throw OutputFailure(e.what());
        }
        journal->Remove();
    }
    if (!args.quiet) {
        if (skippedCount)
            std::cout << "Skipped " << skippedCount << " file(s), " << skippedPages
                      << " page(s), done by an earlier run (--resume).\n";
        if (args.dryRun) {
            std::cout << "Checked " << inputs.size() << " file(s), " << result.pages
                      << " page(s): " << result.failedFiles << " file(s) unreadable. Nothing was written.\n";
        } else {
            std::cout << "Processed " << result.pages << " page(s) from " << todo.size()
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
    if (result.unwritableFiles) return kOutputNotWritable;
    return (result.failedPages || result.failedFiles || skippedFailures) ? kPageFailed : kAllWell;
}

void PrintProperties(const std::vector<PropertyInfo>& properties) {
    for (const PropertyInfo& property : properties) {
        std::cout << "    " << property.name << "  " << property.type << "  default " << property.value << "\n";
        if (!property.meaning.empty()) std::cout << "        " << property.meaning << "\n";
    }
}

int ListCommand() {
    const std::unique_ptr<ProcessFactory> factory = LoadFactory();
    for (const ProcessInfo& info : factory->Available()) {
        std::cout << info.shortName << "  (" << info.progId << ")\n";
        PrintProperties(info.properties);
    }
    return 0;
}

int ShowCommand(const std::string& name, const std::vector<std::string>& assignments) {
    const std::unique_ptr<ProcessFactory> factory = LoadFactory();
    CComPtr<IZRProcessEx> process = factory->Create(name);
    for (const std::string& assignment : assignments) ProcessFactory::SetProperty(process, name, assignment);
    CComBSTR xml;
    const HRESULT hr = process->get_XML(&xml);
    if (FAILED(hr)) throw CliError("cannot describe " + name + ": " + ProcessFactory::LastErrorText(hr));
    std::cout << xml.utf8();
    return 0;
}

// `show NAME --help`: the subcommand's help, then the process's properties with their meanings.
int ShowHelp(const std::string& name) {
    const std::unique_ptr<ProcessFactory> factory = LoadFactory();
    CComPtr<IZRProcessEx> process = factory->Create(name);
    std::cout << "\nProperties of " << factory->ShortName(name) << " (" << factory->ResolveProgId(name) << "):\n";
    PrintProperties(ProcessFactory::Properties(process));
    return 0;
}

int SaveJobCommand(const std::vector<std::string>& processTexts, const std::vector<std::string>& zones,
                   const std::string& output) {
    const std::unique_ptr<ProcessFactory> factory = LoadFactory();
    JobFile::Save(output, BuildPipeline(*factory, "", processTexts, zones));
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
    // Every page allocates and frees buffers of 1 to 26 MB. By default glibc
    // maps blocks that large afresh each time and, with two or more workers,
    // its adaptive threshold never settles: every page then pays page faults
    // and zeroing again, which cost -j 2 a fifth of its speed on grey pages.
    // Blocks up to 32 MiB (glibc's largest threshold) stay in the heap, and
    // up to 64 MiB of freed heap is kept for the next page.
    ::mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
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
                    "Worker threads (default 1), each with its own processes; they share one queue of pages, so the "
                    "pages of one large file keep every worker busy. Results are identical to one worker.")
        ->check(CLI::Range(1, 256));
    run->add_option("--shard", args.shard,
                    "K/N: run only shard K of N, counted from 0: every N-th input of the list sorted by name, "
                    "starting with the K-th. Every file (with all its pages) is in exactly one shard. For a job "
                    "array: --shard $SLURM_ARRAY_TASK_ID/N (--array=0-(N-1)), --shard $(JOB_COMPLETION_INDEX)/N. "
                    "Give every shard its own --report.");
    run->add_flag("--resume", args.resume,
                  "Skip inputs an earlier run with the same --report finished (output present and complete, every "
                  "page in the report or its journal); the report is merged, never lost. Needs --report.");
    run->footer(kExitCodes);
    app.footer(kExitCodes);

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
    } catch (const DependencyFailure& e) {
        std::cerr << "leafmend: " << e.what() << "\n";
        return kMissingDependency;
    } catch (const OutputFailure& e) {
        std::cerr << "leafmend: " << e.what() << "\n";
        return kOutputNotWritable;
    } catch (const std::exception& e) {
        std::cerr << "leafmend: " << e.what() << "\n";
        return kPageFailed;
    }
    return 0;
}
