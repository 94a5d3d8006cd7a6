#include "options.h"


#include "host/host.h"

namespace kvhost {

const char* usageText() {
  return "usage: kvhost [options] [drawing.dxf]\n"
         "  -s, --script FILE    run FILE as command-line input, then end\n"
         "  -o, --save FILE      save the drawing as DXF (as read; a new one R2004) when the run ends\n"
         "  -r, --release YEAR   the host release to present (2000, 2000i, 2002 ... 2011; default 2011)\n"
         "  -l, --load MODULE    load this module instead of Kavlor.arx (beside\n"
         "                       kvhost, else in its installed folder)\n"
         "      --no-load        load no module\n"
         "  -h, --help           show this text\n"
         "exit status: 0 ok, 1 a script line failed, 2 usage or module error, 3 drawing not read or saved,\n"
         "  130/143 ended by SIGINT/SIGTERM (nothing saved)\n";
}

namespace {

struct ValueOption {
  const char* shortName;
  const char* longName;
  std::string Options::*field;
};

const ValueOption kValueOptions[] = {
    {"-s", "--script", &Options::script},
    {"-o", "--save", &Options::save},
    {"-r", "--release", &Options::release},
    {"-l", "--load", &Options::module},
};

}  // namespace

ParseResult parseOptions(int argc, char** argv, Options& options, std::string& error) {
  bool haveDrawing = false;
  bool haveModule = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (haveDrawing) {
        error = "more than one drawing given: " + arg;
        return ParseResult::kUsageError;
      }
      options.drawing = arg;
      haveDrawing = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") return ParseResult::kHelp;
    if (arg == "--no-load") {
      options.noLoad = true;
      continue;
    }
    const ValueOption* matched = nullptr;
    std::string value;
    bool haveValue = false;
    for (const ValueOption& opt : kValueOptions) {
      std::string longPrefix = std::string(opt.longName) + "=";
      if (arg == opt.shortName || arg == opt.longName) {
        matched = &opt;
      } else if (arg.compare(0, longPrefix.size(), longPrefix) == 0) {
        matched = &opt;
        value = arg.substr(longPrefix.size());
        haveValue = true;
      }
      if (matched) break;
    }
    if (!matched) {
      error = "unknown option: " + arg;
      return ParseResult::kUsageError;
    }
    if (!haveValue) {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return ParseResult::kUsageError;
      }
      value = argv[++i];
    }
    if (value.empty()) {
      error = "option " + arg + " needs a non-empty value";
      return ParseResult::kUsageError;
    }
    options.*(matched->field) = value;
    if (matched->field == &Options::module) haveModule = true;
  }
  if (!kv::findRelease(options.release)) {
    error = "unknown release: " + options.release + " (2000, 2000i, 2002 ... 2011)";
    return ParseResult::kUsageError;
  }
  if (haveModule && options.noLoad) {
    error = "--load and --no-load exclude each other";
    return ParseResult::kUsageError;
  }
  return ParseResult::kRun;
}

}  // namespace kvhost
