// Resource ids of the control module.
#pragma once

#define IDD_UPDATE_PROGRESS 201
#define IDB_SKIN 202
#define IDB_BAR 203

// The control module's own resources.
#define IDS_VEXAUPDATER 1
#define IDS_VEXAUPDATER_PPG 2
#define IDB_VEXAUPDATER 1
#define IDD_PROPPAGE_VEXAUPDATER 200
#define IDS_VEXAUPDATER_PPG_CAPTION 200
