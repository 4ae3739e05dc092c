#pragma once

#include <string>

#include "update/ProcedureTexts.h"

// tarvelin-cli list-ports: every serial port in COM order with what tells it apart (device,
// by-id name, USB ids and names), what keeps it from being opened (permission, another
// process holding it) and, for a pseudo-terminal, the program at its other end. The exit status.
int ListPorts(bool json, Language language);
