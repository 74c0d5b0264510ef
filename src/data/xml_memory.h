#pragma once

namespace zorvan {

// Makes pugixml take its memory from large chunks marked for transparent
// huge pages. A campaign of 100 000 contacts is some two million nodes;
// touching that memory 4 KiB at a time costs more than building the nodes.
// Called once, before the first document is made.
void UseLargePagesForXml();

}  // namespace zorvan
