// Runs the conformance corpus in this process and compares with the committed list of
// checks that pass. A listed check that fails fails the run; a check that passes but
// is not listed is reported so that it can be added.

#include "tests/conformance/CorpusCase.h"

#include <QGuiApplication>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace lanfan::conformance;

constexpr int kExitSkipped = 77;

struct Arguments {
    fs::path corpus = LANFAN_CORPUS_DIR;
    fs::path passing;
    fs::path writePassing;
    std::string filter;
    int budgetMs = 10000;
    bool verbose = false;
};

bool parseArguments(int argc, char** argv, Arguments& args)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "--corpus")
            args.corpus = value();
        else if (a == "--passing")
            args.passing = value();
        else if (a == "--write-passing")
            args.writePassing = value();
        else if (a == "--filter")
            args.filter = value();
        else if (a == "--budget-ms")
            args.budgetMs = std::max(1, std::atoi(value().c_str()));
        else if (a == "--verbose")
            args.verbose = true;
        else {
            std::cerr << "usage: lanfan_conformance [--corpus DIR] [--passing FILE] [--write-passing FILE]\n"
                         "                          [--filter TEXT] [--budget-ms N] [--verbose]\n";
            return false;
        }
    }
    return true;
}

// Lines "trace CASE" or "picture CASE"; '#' starts a comment.
std::set<std::string> readPassing(const fs::path& path)
{
    std::set<std::string> listed;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        listed.insert(line);
    }
    return listed;
}

const char* word(Outcome o)
{
    switch (o) {
    case Outcome::Pass: return "pass";
    case Outcome::Fail: return "FAIL";
    case Outcome::NotApplicable: return "-";
    }
    return "-";
}

} // namespace

int main(int argc, char** argv)
{
    Arguments args;
    if (!parseArguments(argc, argv, args))
        return 2;
    if (!fs::is_directory(args.corpus)) {
        std::cout << "conformance: skipped, no corpus at " << args.corpus << '\n';
        return kExitSkipped;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // fonts for text in pictures

    std::set<std::string> listed = args.passing.empty() ? std::set<std::string>{} : readPassing(args.passing);
    std::set<std::string> passing;
    std::vector<std::string> regressions;
    int total = 0, tracePasses = 0, pictureTotal = 0, picturePasses = 0;
    for (const CaseSpec& spec : discoverCases(args.corpus)) {
        if (!args.filter.empty() && spec.name.find(args.filter) == std::string::npos)
            continue;
        ++total;
        CaseResult result = runCase(spec, std::chrono::milliseconds(args.budgetMs));
        if (result.trace == Outcome::Pass) {
            ++tracePasses;
            passing.insert("trace " + spec.name);
        }
        if (result.picture != Outcome::NotApplicable)
            ++pictureTotal;
        if (result.picture == Outcome::Pass) {
            ++picturePasses;
            passing.insert("picture " + spec.name);
        }
        if (args.verbose) {
            std::printf("trace %-4s picture %-4s %s%s%s\n", word(result.trace), word(result.picture), spec.name.c_str(),
                        result.note.empty() ? "" : "  # ", result.note.c_str());
            std::fflush(stdout);
        }
    }

    std::vector<std::string> newlyPassing;
    for (const std::string& check : passing)
        if (!listed.contains(check))
            newlyPassing.push_back(check);
    for (const std::string& check : listed) {
        bool inScope = args.filter.empty() || check.find(args.filter) != std::string::npos;
        if (inScope && !passing.contains(check))
            regressions.push_back(check);
    }

    for (const std::string& check : newlyPassing)
        std::cout << "newly passing (add to passing.txt): " << check << '\n';
    for (const std::string& check : regressions)
        std::cout << "REGRESSION (listed as passing, now fails): " << check << '\n';
    std::cout << "conformance: trace " << tracePasses << "/" << total << " passed, picture " << picturePasses << "/"
              << pictureTotal << " passed, " << total << " cases\n";

    if (!args.writePassing.empty()) {
        std::ofstream out(args.writePassing);
        out << "# Checks of the conformance corpus that pass: \"trace CASE\" or \"picture CASE\".\n";
        for (const std::string& check : passing)
            out << check << '\n';
    }
    return regressions.empty() ? 0 : 1;
}
