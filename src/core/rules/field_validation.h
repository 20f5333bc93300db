#pragma once
// What a numeric field does after every change of its text.

#include <cstdint>
#include <string>

namespace velmora {

inline constexpr const char* kRateAboveLimit = "本程序只提供缩小图片功能！";
inline constexpr const char* kSizeAboveLimit = "最大尺寸为1000！";
inline constexpr const char* kBelowMinimum = "最小尺寸为1！";
inline constexpr const char* kNotANumber = "请输入数字！";
inline constexpr const char* kFieldResetText = "100";

// The ranges the settings fields allow; the sizing rules take no value beyond them either.
inline constexpr std::int32_t kRateLimit = 100;
inline constexpr std::int32_t kSizeLimit = 1000;

enum class FieldAction {
  Accept,           // the text stands
  ResetThenNotify,  // not a number: the text becomes "100", then the message is shown
  NotifyThenReset,  // out of range: the message is shown, then the text becomes "100"
};

struct FieldVerdict {
  FieldAction action = FieldAction::Accept;
  std::string message;  // empty for Accept
};

// The verdict on a field's text, with the field's upper limit and its message above it.
FieldVerdict validateField(const std::string& text, std::int32_t upperLimit,
                           const std::string& aboveLimitMessage);

}  // namespace velmora
