// Identifiers of the module's string resources (quavix.rc), in language 1033. The module reads
// none of its resources itself; the host reads them. Strings 1 ("MF2") and 2 (the object's display
// name, "Quavix") identify the object; these three are the texts of its one property, the stored
// buffer length, in the host's property sheet.
#ifndef QUAVIX_HOST_RESOURCE_IDS_H
#define QUAVIX_HOST_RESOURCE_IDS_H

#define QUAVIX_STRING_PROPERTY_GROUP 1000        // "Generator"
#define QUAVIX_STRING_BUFFER_LENGTH_NAME 1001    // "Buffer length"
#define QUAVIX_STRING_BUFFER_LENGTH_INFO 1002    // its one-line description

#endif
