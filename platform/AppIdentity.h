#pragma once

// Who Trimora is to the desktop. The application ID names the desktop entry, the
// AppStream metadata and the software centre page; it must never change once shipped.
inline constexpr char APPLICATION_ID[] = "io.github.trimora.Trimora";
inline constexpr char APPLICATION_NAME[] = "Trimora";
inline constexpr char SUPPORT_EMAIL[] = "support@trimora.app";
