// Identifiers of the resources built into rudi.exe, shared by rudi.rc and the C++ code.
// Plain numbers only: the resource compiler reads this file too.
#ifndef RUDI_RESOURCES_RESOURCE_IDS_H
#define RUDI_RESOURCES_RESOURCE_IDS_H

// The application icon (RT_GROUP_ICON, images 48, 32, 24 and 16 pixels). The lowest icon ID,
// so Explorer shows it for rudi.exe; the windows and the tray icon load it too.
#define IDI_APP 1

// RT_RCDATA: the About page's banner (a baseline JPEG, 350 x 130) and the rest window's tune
// (a Standard MIDI File).
#define IDR_BANNER 101
#define IDR_TUNE 102

// The process manifest: CREATEPROCESS_MANIFEST_RESOURCE_ID of type RT_MANIFEST (24).
#define IDR_MANIFEST 1
#define RUDI_RT_MANIFEST 24

// The version information (VS_VERSION_INFO).
#define IDV_VERSION 1

#endif
