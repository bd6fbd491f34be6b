#pragma once

#include <cstdint>
#include <optional>

namespace vellamor {

// What the Service page can show about the service.
enum class ServiceDisplayState { Unavailable, Stopped, Running, Starting, Stopping, Paused };

// The four gear pictures that share one spot on the page.
enum class StatusPicture { Unknown, Running, Stopped, Paused };

// The command labels a row leaves enabled. Uninstall and Reinstall are in no row.
enum ServiceCommandLabel : unsigned {
    NoCommandLabel = 0,
    StartLabel = 1u << 0,
    StopLabel = 1u << 1,
    PauseLabel = 1u << 2,
    ResumeLabel = 1u << 3,
};

struct CaptionColour
{
    int red;
    int green;
    int blue;
    friend bool operator==(const CaptionColour &, const CaptionColour &) = default;
};

// One row of the page's display table.
struct ServiceDisplayRow
{
    const char *caption;
    CaptionColour colour;
    StatusPicture picture;
    unsigned enabledLabels; // ServiceCommandLabel bits
};

const ServiceDisplayRow &serviceDisplayRow(ServiceDisplayState state);

// Maps a state reported by the service manager (the ServiceManager state
// numbers) to what the page shows. Pending pause, pending continue and any
// number we do not know give nothing: the page keeps what it shows, so a
// short transition does not make the controls flicker.
std::optional<ServiceDisplayState> displayStateForServiceState(std::uint32_t currentState);

} // namespace vellamor
