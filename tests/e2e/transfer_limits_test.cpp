// Stalled servers and HTTPS.
