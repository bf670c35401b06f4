// Resource ids of the control module.
#pragma once

#define IDD_UPDATE_PROGRESS 201
#define IDB_SKIN 202
#define IDB_BAR 203
