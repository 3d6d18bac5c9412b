// leafmend: runs page processes over scanned page files.
//   leafmend run -p Rotate -p "Rotate RotationAngle=180" INPUT... -o OUTDIR
//   leafmend run --job JOB.xml INPUT... -o OUTDIR
//   leafmend save-job -p ... -o JOB.xml
//   leafmend list
//   leafmend show NAME [-p KEY=VALUE]...
//   leafmend register | unregister
#include "cli/BatchRunner.h"
#include "cli/JobFile.h"
#include "cli/ProcessFactory.h"
#include "platform/com/Activation.h"
#include "platform/registry/Registry.h"

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

namespace {

// The pipeline from the job file (if any) followed by the -p processes; --zone
// zones go to every zone-capable process.
std::vector<PipelineStep> BuildPipeline(const ProcessFactory& factory, const std::string& jobPath,
                                        const std::vector<std::string>& processTexts,
                                        const std::vector<std::string>& zones) {
    std::vector<PipelineStep> steps;
    if (!jobPath.empty()) steps = JobFile::Load(jobPath, factory);
    for (const std::string& processText : processTexts) {
        std::string name = processText.substr(0, processText.find(' '));
        steps.push_back(PipelineStep{name, factory.CreateFromText(processText)});
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

int RunCommand(const std::string& jobPath, const std::vector<std::string>& processTexts,
               const std::vector<std::string>& zones, const std::vector<std::string>& inputs,
               const std::string& outputDir, const std::string& reportPath, bool failFast, bool quiet, int jobs) {
    ProcessFactory factory;
    std::map<std::string, std::string> outputs;
    for (const std::string& input : inputs) {
        const std::string name = std::filesystem::path(input).filename().string();
        const auto [first, fresh] = outputs.emplace(name, input);
        std::error_code ec;
        if (!fresh)
            throw CliError(input + " and " + first->second + " would both be written as " + name +
                           " in the output folder; give each file once and run same-named files separately");
        const auto target = std::filesystem::path(outputDir) / std::filesystem::path(input).filename();
        if (std::filesystem::exists(target) && std::filesystem::equivalent(target, input, ec))
            throw CliError(input + ": the output would overwrite the input; choose another output folder");
    }
    BatchOptions options{outputDir, failFast, !quiet && ::isatty(STDERR_FILENO), jobs};
    BatchRunner runner([&] { return BuildPipeline(factory, jobPath, processTexts, zones); }, options);
    BatchResult result = runner.Run(inputs);
    if (!reportPath.empty()) {
        std::ofstream out(reportPath);
        out << result.report.dump(2) << "\n";
        if (!out) throw CliError("cannot write the report " + reportPath);
    }
    if (!quiet) {
        std::cout << "Processed " << result.pages << " page(s) from " << inputs.size()
                  << " file(s): " << result.failedPages << " failed, " << result.removedPages << " removed, "
                  << result.failedFiles << " file(s) unreadable or unwritable.\n";
        if (result.unhandledPages)
            std::cout << result.unhandledPages << " page(s) were left alone by a process that did not handle them"
                      << " (unsupported depth or setting; see the status messages in --report).\n";
        std::cout << "Wrote " << result.written.size() << " file(s) to " << outputDir << "\n";
    }
    return (result.failedPages || result.failedFiles) ? 1 : 0;
}

int ListCommand() {
    ProcessFactory factory;
    for (const ProcessInfo& info : factory.Available()) {
        std::cout << info.shortName << "  (" << info.progId << ")\n";
        for (const PropertyInfo& property : info.properties)
            std::cout << "    " << property.name << "  " << property.type << "  default " << property.value << "\n";
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
    const std::string path = ProcessFactory::DefaultModulePath();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) throw CliError("cannot load the process module " + path + ": " + ::dlerror());
    auto call =
        reinterpret_cast<HRESULT (*)()>(::dlsym(module, unregister ? "DllUnregisterServer" : "DllRegisterServer"));
    const HRESULT hr = call ? call() : E_UNEXPECTED;
    if (FAILED(hr))
        throw CliError(std::string("cannot ") + (unregister ? "unregister" : "register") + " the process module in " +
                       registry.BackingFile() + ": " + ProcessFactory::LastErrorText(hr));
    std::cout << (unregister ? "Unregistered " : "Registered ") << path << " in " << registry.BackingFile() << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"leafmend: cleans up scanned pages (TIFF, PNG, JPEG) with a pipeline of processes."};
    app.require_subcommand(1);

    auto* run = app.add_subcommand("run", "Run processes over every page of the input files.");
    std::vector<std::string> processTexts, inputs, zones;
    std::string outputDir, reportPath, jobPath;
    bool failFast = false, quiet = false;
    int jobs = 1;
    run->add_option("-p,--process", processTexts,
                    "A process in pipeline order: a name (see 'leafmend list') or ProgID, optionally followed by "
                    "KEY=VALUE properties, e.g. \"Rotate RotationAngle=180\". Repeat for more processes. A token "
                    "zone=LEFT,TOP,WIDTH,HEIGHT adds a zone (pixels) to that "
                    "process.")
        ->allow_extra_args(false);
    run->add_option("--job", jobPath,
                    "A job file: Process elements as processes save them (see 'leafmend show' and 'leafmend "
                    "save-job'), run in document order before any -p processes.")
        ->check(CLI::ExistingFile);
    const char* zoneHelp =
        "A zone LEFT,TOP,WIDTH,HEIGHT in pixels for every zone-capable process (Invert); repeatable. "
        "Zones limit such processes to those rectangles.";
    run->add_option("--zone", zones, zoneHelp)->allow_extra_args(false);
    run->add_option("inputs", inputs, "Input image files (TIFF, PNG, JPEG; multi-page TIFF allowed).")
        ->required();
    run->add_option("-o,--output", outputDir, "Output folder; each result keeps its input's file name and format.")
        ->required();
    run->add_option("--report", reportPath, "Write a JSON report of every page (result, messages, errors, time).");
    run->add_flag("--fail-fast", failFast, "Stop at the first failing page instead of going on with the next.");
    run->add_flag("-q,--quiet", quiet, "No progress bar and no summary.");
    run->add_option("-j,--jobs", jobs, "Files processed in parallel, each worker with its own processes (default 1).")
        ->check(CLI::Range(1, 256));

    app.add_subcommand("list", "List the available processes with their properties and defaults.");

    auto* show = app.add_subcommand("show", "Print a process's saved XML (with -p KEY=VALUE properties set).");
    std::string showName;
    std::vector<std::string> showProps;
    show->add_option("name", showName, "Process name or ProgID.")->required();
    show->add_option("-p,--property", showProps, "KEY=VALUE property to set before saving.")->allow_extra_args(false);

    auto* saveJob = app.add_subcommand("save-job", "Write the pipeline given with -p (and --zone) as a job file.");
    std::vector<std::string> jobProcessTexts, jobZones;
    std::string jobOutput;
    saveJob->add_option("-p,--process", jobProcessTexts, "A process as for 'run -p'; repeat for more.")
        ->required()
        ->allow_extra_args(false);
    saveJob->add_option("--zone", jobZones, zoneHelp)->allow_extra_args(false);
    saveJob->add_option("-o,--output", jobOutput, "The job file to write.")->required();

    auto* reg = app.add_subcommand("register", "Register the process module in the per-user registry file.");
    auto* unreg = app.add_subcommand("unregister", "Remove the process module's registration.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    try {
        if (*run) return RunCommand(jobPath, processTexts, zones, inputs, outputDir, reportPath, failFast, quiet, jobs);
        if (*saveJob) return SaveJobCommand(jobProcessTexts, jobZones, jobOutput);
        if (app.got_subcommand("list")) return ListCommand();
        if (*show) return ShowCommand(showName, showProps);
        if (*reg) return RegisterCommand(false);
        if (*unreg) return RegisterCommand(true);
    } catch (const CliError& e) {
        std::cerr << "leafmend: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "leafmend: " << e.what() << "\n";
        return 2;
    }
    return 0;
}
