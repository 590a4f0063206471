// What a status and a lost link say to the user (status_text.cpp), and the
// stop request an operation and the link's waiting box share.
#pragma once

#include "host_api.h"
#include "phone_link.h"

// The bit of the panel's stop word that asks the running operation to stop
// (Esc or a break); the host may set it from another thread.
enum : LONG { StopAsked = 1 };

// The user's text for a status, cut to `size` bytes.
void StatusText(LONG status, char* buffer, int size);
// ... or, when the link is lost, for why it is.
void OutcomeText(const PhoneLink& link, LONG status, char* buffer, int size);
// Tells the user why the link is lost, once per loss, unless Find or Quick
// View asked or this thread may not draw.
void TellLinkLost(PhoneLink& link, int opMode);
