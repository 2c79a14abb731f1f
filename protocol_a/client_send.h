// Protocol A client send (-g, -G).
#pragma once

void protocolASend();
