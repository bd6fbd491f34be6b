#include "ServiceState.h"

#include "ServiceManager.h"

namespace vellamor {

namespace {

using platform::ServiceManager;

// Stopping and Paused are the "in between" states: a dark amber reads well on
// the white group box, where the yellow of the picture would not.
constexpr CaptionColour kBlack{0, 0, 0};
constexpr CaptionColour kRed{255, 0, 0};
constexpr CaptionColour kGreen{0, 128, 0};
constexpr CaptionColour kYellow{255, 255, 0};
constexpr CaptionColour kAmber{176, 96, 0};

constexpr ServiceDisplayRow kUnavailable{"Failed to get Vellamor service status", kBlack, StatusPicture::Unknown,
                                         NoCommandLabel};
constexpr ServiceDisplayRow kStopped{"Vellamor Service is Stopped", kRed, StatusPicture::Stopped, StartLabel};
constexpr ServiceDisplayRow kRunning{"Vellamor Service is Running", kGreen, StatusPicture::Running,
                                     StopLabel | PauseLabel};
constexpr ServiceDisplayRow kStarting{"Vellamor Service is Starting", kYellow, StatusPicture::Paused, NoCommandLabel};
constexpr ServiceDisplayRow kStopping{"Vellamor Service is Stoping", kAmber, StatusPicture::Paused, NoCommandLabel};
constexpr ServiceDisplayRow kPaused{"Vellamor Service is Paused", kAmber, StatusPicture::Paused,
                                    StopLabel | ResumeLabel};

} // namespace

const ServiceDisplayRow &serviceDisplayRow(ServiceDisplayState state)
{
    switch (state) {
    case ServiceDisplayState::Unavailable:
        return kUnavailable;
    case ServiceDisplayState::Stopped:
        return kStopped;
    case ServiceDisplayState::Running:
        return kRunning;
    case ServiceDisplayState::Starting:
        return kStarting;
    case ServiceDisplayState::Stopping:
        return kStopping;
    case ServiceDisplayState::Paused:
        return kPaused;
    }
    return kUnavailable;
}

std::optional<ServiceDisplayState> displayStateForServiceState(std::uint32_t currentState)
{
    switch (currentState) {
    case ServiceManager::Stopped:
        return ServiceDisplayState::Stopped;
    case ServiceManager::StartPending:
        return ServiceDisplayState::Starting;
    case ServiceManager::StopPending:
        return ServiceDisplayState::Stopping;
    case ServiceManager::Running:
        return ServiceDisplayState::Running;
    case ServiceManager::Paused:
        return ServiceDisplayState::Paused;
    default:
        // ContinuePending, PausePending and anything unknown.
        return std::nullopt;
    }
}

} // namespace vellamor
