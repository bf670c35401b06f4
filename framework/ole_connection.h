// Small COM objects a control hands out: its verb list, its one connection point (for an
// event interface that never fires) and the enumerator over that point.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <vector>

// A connection point that keeps its sinks and never calls them.
// The container does not get a reference from it; it detaches the point when it goes.
IConnectionPoint* CreateSilentConnectionPoint(const IID& iid, IConnectionPointContainer* container);
void DetachConnectionPoint(IConnectionPoint* point);
// An enumerator over the given points (each is AddRef'd and held).
IEnumConnectionPoints* CreateConnectionPointEnumerator(const std::vector<IConnectionPoint*>& points);
// An enumerator over one verb.
IEnumOLEVERB* CreateVerbEnumerator(const OLEVERB& verb);
