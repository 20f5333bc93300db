#pragma once

namespace velmora {

// The version stamped into the captions and reported by the command-line tool.
inline constexpr const char* kVersion = "2.8";
// The application title every notice and error box carries; it is not stamped.
inline constexpr const char* kApplicationTitle = "Velmora V2.0";
inline constexpr const char* kHomePageUrl = "https://velmora.example.org/";
inline constexpr const char* kAuthorEmail = "velmora@example.org";

}  // namespace velmora
