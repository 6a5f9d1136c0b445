// Gives the resource library a translation unit of its own.
namespace auravox { int resourcesAnchor = 0; }
