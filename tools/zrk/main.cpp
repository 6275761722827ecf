// zrk: makes self-combining archives (split) and rebuilds, describes and checks them
// (join, info, verify) on any system. Exit codes: 0 done, 1 failed, 2 usage,
// 130 stopped by Ctrl-C.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <regex>

#include "commands.h"
#include "console.h"
#include "interrupt.h"
#include "size_parser.h"

namespace {

using namespace zrk::tool;

void addKeyOptions(CLI::App& command, KeyOptions& key, const char* what) {
    auto* prompt = command.add_flag("--password-prompt", key.prompt,
                                    std::string("Ask for the password ") + what + " (not echoed)");
    auto* file = command.add_option("--password-file", key.passwordFile, "Read the password from the first line of F")
                     ->type_name("F");
    auto* keyFile =
        command.add_option("-k,--key-file", key.keyFile, "Use the contents of KEYFILE as the key")->type_name("KEYFILE");
    prompt->excludes(file, keyFile);
    file->excludes(keyFile);
}

constexpr const char* kCommandList = "split, join, info or verify";

// CLI11's message in the tool's own words.
std::string usageMessage(const CLI::ParseError& error, const CLI::App& app) {
    const std::string what = error.what();
    const std::string kind = error.get_name();
    std::smatch m;
    if (kind == "RequiredError" && app.get_subcommands().empty()) {
        const std::vector<std::string> rest = app.remaining();
        if (rest.empty()) return std::string("no command given (") + kCommandList + ")";
        if (rest.front().rfind('-', 0) == 0) return "unknown option " + rest.front();
        return "'" + rest.front() + "' is not a command (" + kCommandList + ")";
    }
    if (kind == "RequiredError" && std::regex_match(what, m, std::regex("(\\S+) is required")))
        return m.str(1) + " is missing";
    // A subcommand's ExtrasError carries the subcommand's name as its kind, and lists
    // the arguments last one first.
    if (std::regex_match(what, m, std::regex("The following arguments? (?:was|were) not expected: (?:.* )?(\\S+)"))) {
        const std::string first = m.str(1);
        if (first.rfind('-', 0) == 0) return "unknown option " + first;
        if (app.get_subcommands().empty()) return "'" + first + "' is not a command (" + kCommandList + ")";
        return "unexpected argument '" + first + "'";
    }
    if (kind == "ArgumentMismatch" && std::regex_match(what, m, std::regex("(\\S+): \\d+ required (\\S+) missing")))
        return m.str(1) + " needs a value (" + m.str(2) + ")";
    if (kind == "ExcludesError" && std::regex_match(what, m, std::regex("(\\S+) excludes (\\S+)")))
        return m.str(1) + " and " + m.str(2) + " cannot be given together";
    return what;
}

// An option value that must be one of `choices`, named by `what` in the message.
CLI::Validator oneOf(std::vector<std::string> choices, std::string what) {
    return CLI::Validator(
        [choices, what](std::string& text) {
            std::string list;
            for (const std::string& choice : choices) {
                if (choice == text) return std::string();
                list += (list.empty() ? "" : ", ") + choice;
            }
            return "'" + text + "' is not " + what + " (" + list + ")";
        },
        "");
}

// A usage error: what is wrong in one line, then where the help is; exit code 2.
int usageError(CLI::App& app, const CLI::ParseError& error) {
    std::string command = "zrk";
    for (CLI::App* given : app.get_subcommands()) command += " " + given->get_name();
    std::cerr << "zrk: " << usageMessage(error, app) << "\nTry '" << command << " --help' for more information.\n";
    return 2;
}

int run(int argc, char** argv) {
    CLI::App app{"zrk: splits a file into a self-combining Windows program (<name>.exe) and volumes "
                 "(<name>.NNN.zrd), and rebuilds, describes or checks such archives.",
                 "zrk"};
    app.set_version_flag("--version", "zrk " ZRK_VERSION);
    app.require_subcommand(1);
    // CLI11 on Windows would take "/path" for a /option; paths come first here.
    app.allow_windows_style_options(false);

    SplitRequest split;
    std::string sizeText;
    CLI::App* splitCommand = app.add_subcommand("split", "Cut FILE into <name>.exe and its volumes");
    splitCommand->add_option("FILE", split.input, "The file to split")->required();
    auto* size =
        splitCommand
            ->add_option("-s,--size", sizeText,
                         "Bytes per volume. Units: k, M, G, T are powers of 1000 (700M = 700,000,000); KiB, MiB, GiB, "
                         "TiB are powers of 1024 (1GiB = 1,073,741,824); a bare number is bytes. Fractions allowed "
                         "with a unit (4.7G)")
            ->type_name("SIZE")
            ->check(CLI::Validator(
                [](std::string& text) {
                    return parseSize(text) ? std::string() : "'" + text + "' is not a size (e.g. 700M, 4.7G, 1GiB)";
                },
                ""));
    auto* count = splitCommand->add_option("-n,--count", split.volumeCount, "Number of volumes")
                      ->type_name("COUNT")
                      ->check(CLI::Validator(
                          [](std::string& text) {
                              const bool digits = !text.empty() && text.size() <= 7 &&
                                                  text.find_first_not_of("0123456789") == std::string::npos;
                              const unsigned long value = digits ? std::stoul(text) : 0;
                              return value >= 1 && value <= kMostVolumes
                                         ? std::string()
                                         : "'" + text + "' is not a number of volumes from 1 to 999,999";
                          },
                          ""));
    size->excludes(count);
    splitCommand->add_option("-o,--output", split.outputFolder, "Folder for the archive (default: the file's folder)")
        ->type_name("DIR");
    addKeyOptions(*splitCommand, split.key, "twice");
    auto* stub = splitCommand
                     ->add_option("--stub", split.stub,
                                  "The combining program (default: zrkcombine.exe, or x64/zrkcombine.exe with --arch "
                                  "x64, beside zrk, in ../lib/zrk from zrk's folder, or in the build tree)")
                     ->type_name("PATH");
    std::string arch = "x86";
    splitCommand
        ->add_option("--arch", arch,
                     "The combining program the archive's .exe is made of: x86 (the 32-bit one) or x64; both "
                     "combine the same archives (default: x86)")
        ->type_name("ARCH")
        ->check(oneOf({"x86", "x64"}, "an architecture of the combining program"))
        ->excludes(stub);
    std::string lang = "ja";
    splitCommand->add_option("--lang", lang, "Language of the combine wizard (default: ja)")
        ->type_name("LANG")
        ->check(oneOf({"ja", "en"}, "a language of the wizard"));
    splitCommand->add_flag("--force", split.force,
                           "Replace existing archive files, and make more than 10,000 volumes when -s asks for them");

    JoinRequest join;
    CLI::App* joinCommand = app.add_subcommand("join", "Rebuild the original file from EXE and its volumes");
    joinCommand->add_option("EXE", join.executable, "The archive's <name>.exe")->required();
    joinCommand->add_option("-o,--output", join.outputFolder, "Folder for the rebuilt file (default: EXE's folder)")
        ->type_name("DIR");
    addKeyOptions(*joinCommand, join.key, "once");
    joinCommand->add_flag("--force", join.force, "Replace an existing file of the same name");

    InspectRequest info;
    CLI::App* infoCommand = app.add_subcommand("info", "Show what an archive holds and which volumes are present");
    infoCommand->add_option("ARCHIVE", info.path, "The archive's <name>.exe or one of its volumes")->required();
    addKeyOptions(*infoCommand, info.key, "once");

    InspectRequest verify;
    CLI::App* verifyCommand =
        app.add_subcommand("verify", "Check that every volume is present and intact, writing nothing");
    verifyCommand->add_option("ARCHIVE", verify.path, "The archive's <name>.exe or one of its volumes")->required();
    addKeyOptions(*verifyCommand, verify.key, "once");

    for (CLI::App* command : {splitCommand, joinCommand, infoCommand, verifyCommand})
        command->allow_windows_style_options(false)->footer(
            "Passwords are never taken on the command line. Ctrl-C stops the work after the block in hand and "
            "removes what it had half written: a join's .zrk-part file (an existing file of the target's name "
            "stays as it was), the volumes a split had begun. Exit codes: 0 done, 1 failed, 2 usage, "
            "130 interrupted.");

    try {
        app.parse(argc, argv);
        if (splitCommand->parsed() && sizeText.empty() && split.volumeCount == 0)
            throw CLI::ValidationError("split needs -s SIZE or -n COUNT");
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        return usageError(app, e);
    }

    installInterruptHandler();
    try {
        if (splitCommand->parsed()) {
            if (!sizeText.empty()) split.volumeSize = *parseSize(sizeText);
            split.english = lang == "en";
            split.arch = arch == "x64" ? StubArch::X64 : StubArch::X86;
            return runSplit(split);
        }
        if (joinCommand->parsed()) return runJoin(join);
        if (infoCommand->parsed()) return runInfo(info);
        return runVerify(verify);
    } catch (const Interrupted& e) {
        std::cout.flush();
        std::cerr << "zrk: " << e.what() << "\n";
        return kInterruptedExit;
    } catch (const ToolError& e) {
        std::cout.flush();
        std::cerr << "zrk: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "zrk: " << e.what() << "\n";
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    prepareConsole();
    std::vector<std::string> args = utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& arg : args) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    return run(int(args.size()), pointers.data());
}
