// Identities of the test server library, shared by the server and its tests.
#pragma once

namespace testserver {
inline constexpr const char* kLibraryId = "{5D3A1C20-7B41-4E0A-9C11-2A6B0F9E3D01}";
inline constexpr const char* kCounterClsid = "{5D3A1C20-7B41-4E0A-9C11-2A6B0F9E3D02}";
inline constexpr const char* kBagClsid = "{5D3A1C20-7B41-4E0A-9C11-2A6B0F9E3D03}";
inline constexpr const char* kFailingClsid = "{5D3A1C20-7B41-4E0A-9C11-2A6B0F9E3D04}";
inline constexpr const char* kICounter = "{5D3A1C20-7B41-4E0A-9C11-2A6B0F9E3D05}";
inline constexpr const char* kCounterEvents = "{5D3A1C20-7B41-4E0A-9C11-2A6B0F9E3D06}";
inline constexpr const char* kIBag = "{5D3A1C20-7B41-4E0A-9C11-2A6B0F9E3D07}";
inline constexpr const char* kSafeForScripting = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";

// The error the failing class's factory raises, as a component would.
inline constexpr int kNoClientCode = 7;
inline constexpr const char* kNoClientText = "No directory client is configured";
}  // namespace testserver
