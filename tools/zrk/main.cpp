// zrk: makes self-combining archives (split) and rebuilds, describes and checks them
// (join, info, verify) on any system. Exit codes: 0 done, 1 failed, 2 usage,
// 130 stopped by Ctrl-C.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

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

int run(int argc, char** argv) {
    CLI::App app{"zrk: splits a file into a self-combining Windows program (<name>.exe) and volumes "
                 "(<name>.NNN.zrd), and rebuilds, describes or checks such archives.",
                 "zrk"};
    app.set_version_flag("--version", "zrk 0.1.0");
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
                      ->check(CLI::Range(1u, 999999u));
    size->excludes(count);
    splitCommand->add_option("-o,--output", split.outputFolder, "Folder for the archive (default: the file's folder)")
        ->type_name("DIR");
    addKeyOptions(*splitCommand, split.key, "twice");
    splitCommand->add_option("--stub", split.stub, "The combining program (default: zrkcombine.exe beside zrk)")
        ->type_name("PATH");
    std::string lang = "ja";
    splitCommand->add_option("--lang", lang, "Language of the combine wizard (default: ja)")
        ->type_name("LANG")
        ->check(CLI::IsMember({"ja", "en"}));
    splitCommand->add_flag("--force", split.force, "Replace existing archive files");

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
            throw CLI::RequiredError("split needs -s SIZE or -n COUNT");
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::cerr << "zrk: " << e.what() << "\n";
        CLI::App* shown = &app;
        for (CLI::App* command : app.get_subcommands()) shown = command;
        std::cerr << shown->help();
        return 2;
    }

    installInterruptHandler();
    try {
        if (splitCommand->parsed()) {
            if (!sizeText.empty()) split.volumeSize = *parseSize(sizeText);
            split.english = lang == "en";
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
