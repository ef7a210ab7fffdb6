// Registers the file-system and database node classes with the node
// factory: the data root's children ("\" and "DATABASE") and what the
// restore reads below them. The program calls it once at start.
#pragma once

void InitDataNodes();
