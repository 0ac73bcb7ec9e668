#include "http/http_get.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

// Generous: under emulation one request takes a fair fraction of a second
// and a burst queues many.
constexpr char kMaxSeconds[] = "600";
// The page's header, which strict origin checks (the servers' default) ask for.
constexpr char kRequestedWith[] = "X-Requested-With: curl";

std::string Trimmed(std::string text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
  text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
  return text;
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Splits curl's --include output: status line, header fields, empty line,
// body. BusyBox httpd passes the program's header lines on as they are, so
// they may end in bare line feeds.
HttpResponse ParseResponse(const std::string& raw) {
  HttpResponse response;
  size_t end = raw.find("\r\n\r\n");
  size_t separator = 4;
  if (const size_t bare = raw.find("\n\n"); bare < end) {
    end = bare;
    separator = 2;
  }
  if (end == std::string::npos) return response;
  std::istringstream head(raw.substr(0, end));
  std::string line;
  std::getline(head, line);
  std::istringstream statusLine(line);
  std::string version;
  statusLine >> version >> response.status;
  while (std::getline(head, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    response.headers.emplace_back(LowerCase(line.substr(0, colon)),
                                  Trimmed(line.substr(colon + 1)));
  }
  response.body = raw.substr(end + separator);
  return response;
}

// A string of curl's configuration file syntax.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

HttpResponse HttpGet(const std::string& url, const std::optional<std::string>& postBody,
                     const std::vector<std::string>& curlOptions) {
  std::vector<std::string> argv = {VELORANTIS_CURL_PATH, "--silent",     "--show-error",
                                   "--globoff",          "--path-as-is", "--include",
                                   "--max-time",         kMaxSeconds,    url};
  argv.insert(argv.end() - 1, {"--header", kRequestedWith});
  if (postBody) {
    argv.insert(argv.end(), {"--data-binary", "@-", "--header",
                             "Content-Type: application/x-www-form-urlencoded"});
  }
  argv.insert(argv.end(), curlOptions.begin(), curlOptions.end());
  const ProgramResult result = RunHostProgram(argv, {}, postBody.value_or(""));
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  return ParseResponse(result.out);
}

std::vector<HttpResponse> HttpGetAll(const std::vector<std::string>& urls, int connections,
                                     const std::string& scratchDir) {
  std::string config = "header = " + Quoted(kRequestedWith) + "\n";
  for (size_t i = 0; i < urls.size(); ++i) {
    config += "url = " + Quoted(urls[i]) +
              "\noutput = " + Quoted(scratchDir + "/" + std::to_string(i)) + "\n";
  }
  const std::string configPath = scratchDir + "/requests";
  WriteFile(configPath, config);
  const ProgramResult result = RunHostProgram(
      {VELORANTIS_CURL_PATH, "--silent", "--show-error", "--globoff", "--path-as-is", "--parallel",
       "--parallel-max", std::to_string(connections), "--max-time", kMaxSeconds, "--config",
       configPath, "--write-out", "%{urlnum} %{http_code} %{content_type}\\n"},
      {});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  std::vector<HttpResponse> responses(urls.size());
  std::istringstream lines(result.out);
  size_t index = 0;
  int status = 0;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string contentType;
    if (!(fields >> index >> status) || index >= urls.size()) continue;
    std::getline(fields, contentType);
    responses[index].status = status;
    responses[index].headers.emplace_back("content-type", Trimmed(contentType));
    responses[index].body = ReadFile(scratchDir + "/" + std::to_string(index));
  }
  return responses;
}

std::optional<std::string> HeaderValue(const HttpResponse& response, std::string_view name) {
  for (const auto& [field, value] : response.headers) {
    if (field == name) return value;
  }
  return std::nullopt;
}
