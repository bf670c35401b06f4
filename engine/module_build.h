// What a module's build gives its runs, the same in the control and the helper.
#pragma once

class UpdateProgressDialog;

// Its identity, sites and list keys, where its keyed runs remember the lists they took (the
// machine's registry for the helper: machine), and how long its requests may wait and how its retries back off
// (the shipped modules use the documented 30 s and 1 s; test builds may shorten them).
void ApplyModuleBuild(UpdateProgressDialog& dialog, bool machine = false);
