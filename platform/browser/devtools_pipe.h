// NUL-framed JSON message channel to a browser's DevTools endpoint.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

namespace browser {

// The browser escapes every code unit of a string, lone surrogates included, and a
// JSON parser refuses those: they become U+FFFD, as a decoder would make them.
void RepairLoneSurrogates(std::string& json);

// Commands go out with increasing ids; responses are matched by id and events
// are dropped. Every wait is bounded, and once the other end is gone (EOF, EPIPE,
// a half-written frame, a frame that is not JSON) the channel stays broken so
// callers fail fast. Not thread-safe: one caller at a time.
class DevToolsPipe {
 public:
  using Duration = std::chrono::steady_clock::duration;

  // Takes ownership of both descriptors.
  DevToolsPipe(int to_browser, int from_browser);
  ~DevToolsPipe();
  DevToolsPipe(const DevToolsPipe&) = delete;
  DevToolsPipe& operator=(const DevToolsPipe&) = delete;

  // The new command's id, or 0 when it could not be written in time.
  int Send(const std::string& method, const nlohmann::json& params,
           const std::string& session_id, Duration timeout);

  // The whole response message for `id` ({"id","result"} or {"id","error"}).
  // nullopt on timeout or a broken channel; a zero timeout only takes what has
  // already arrived. The id stays expected until answered or Forget()-ten.
  std::optional<nlohmann::json> Await(int id, Duration timeout);

  // A late response to `id` will be discarded.
  void Forget(int id);

  // Send + Await; the id is forgotten whatever the outcome.
  std::optional<nlohmann::json> Call(const std::string& method, const nlohmann::json& params,
                                     const std::string& session_id, Duration timeout);

  bool broken() const { return broken_; }

 private:
  bool WriteFrame(const std::string& frame, std::chrono::steady_clock::time_point deadline);
  bool ReadSome(std::chrono::steady_clock::time_point deadline);
  void TakeFrames();

  int to_browser_;
  int from_browser_;
  int next_id_ = 1;
  bool broken_ = false;
  std::string inbox_;
  std::size_t scanned_ = 0;  // inbox_ before this holds no NUL
  std::set<int> expected_;
  std::map<int, nlohmann::json> answered_;
};

}  // namespace browser
