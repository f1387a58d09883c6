#pragma once

// The presets' texts.
namespace lanscope::messages {

inline constexpr const char* kPresetFormatQuestion =
    "Unable to read data - error in format. Continue?";
inline constexpr const char* kPresetFileAccessError = "Unable to read data - file access error.";
inline constexpr const char* kPresetFormatError = "Unable to read data - error in format.";

}  // namespace lanscope::messages

// The presets window's texts (its controls' texts are in its template).
namespace lanscope::messages {

inline constexpr const char* kPresetsConfigTitle = "Presets Configuration";

}  // namespace lanscope::messages

// The form filler's texts.
namespace lanscope::messages {

inline constexpr const char* kPresetsTitle = "Preset Configuration";
inline constexpr const char* kNoIpAddress = "No IP address given. Failing.";
inline constexpr const char* kAuthenticationIssues =
    "Unable to display the page. Authentication issues\nare preventing it from being displayed. "
    "Please try again. Exiting.\n\n";
inline constexpr const char* kNotAccessible =
    "Unable to display the page. Please ensure accessibility\nvia the web interface. "
    "Exiting.\n\n";
inline constexpr const char* kAuthenticationFailed = "Your authentication failed. Exiting.\n\n";
inline constexpr const char* kNoBrowserObject = "Unable to get the browser object. Exiting.\n\n";
inline constexpr const char* kNoDocumentObject = "Unable to get the document object. Exiting.\n\n";
inline constexpr const char* kNoFormsObject = "Unable to get the forms object. Exiting.\n\n";
inline constexpr const char* kFormNotFound = "Unable to find the form. Exiting.\n\n";
inline constexpr const char* kNotAdministrator =
    "You have not logged in as administrator. Exiting.\n\n";
inline constexpr const char* kPresetsLoaded =
    "Your presets have been loaded. However, you must verify the values and press 'Submit' "
    "before they will take affect.";
inline constexpr const char* kMissingFieldsIntro = "\n\nUnable to find the following fields:\n\n";
// Said instead of starting a browser engine that would end the program.
inline constexpr const char* kBrowserRefusesRoot =
    "The web browser that writes presets does not run with the rights of root. Please start "
    "the program as an ordinary user to write presets.";

}  // namespace lanscope::messages
