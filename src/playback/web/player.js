"use strict";

// The program's page. Ruffle runs in a frame of its own (stage.html): Ruffle
// 0.6 keeps a little memory from every movie it has played (about 0.2 MB
// here) and lets go of it only with the whole page it runs in, so after
// this many movies a fresh frame, made ready beforehand, takes over.
const moviesPerFrame = 50;

// Nothing here may open a browser either.
window.open = () => null;

function addFrame() {
    return new Promise((resolve) => {
        const frame = document.createElement("iframe");
        frame.addEventListener("load", () => resolve(frame), { once: true });
        frame.src = "stage.html";
        // Above the frame showing movies now, but invisible until its first
        // movie is drawn.
        frame.className = "waiting";
        document.getElementById("stage").append(frame);
    });
}

// Whatever goes wrong in a frame counts as a failure, never as no answer.
async function safely(action) {
    try {
        return await action();
    } catch (error) {
        console.warn(error);
        return false;
    }
}

let shownFrame = null; // { frame, movies }
let freshFrame = null; // { frame, ready } while a fresh frame gets ready

function prepareFreshFrame() {
    const pending = { frame: null, ready: false };
    freshFrame = pending;
    addFrame().then(async (frame) => {
        pending.frame = frame;
        pending.ready = await safely(() => frame.contentWindow.rufflePlaysAtAll());
        if (!pending.ready) {
            frame.remove();
            if (freshFrame === pending)
                freshFrame = null;
        }
    });
}

async function play(url) {
    const target = freshFrame && freshFrame.ready ? freshFrame : shownFrame;
    if (!(await target.frame.contentWindow.playMovie(url)))
        return false;
    if (target !== shownFrame) {
        target.frame.className = "";
        shownFrame.frame.remove();
        shownFrame = { frame: target.frame, movies: 0 };
        freshFrame = null;
    }
    if (++shownFrame.movies >= moviesPerFrame && !freshFrame)
        prepareFreshFrame();
    return true;
}

// Whether Ruffle has played anything yet. Until it has, a failed load may
// mean that Ruffle itself cannot start (its WebAssembly is damaged, say),
// which is worth telling from one bad movie.
let rufflePlayed = false;

async function load(bridge, ticket, url) {
    const shown = await safely(() => play(url));
    if (shown) {
        rufflePlayed = true;
    } else if (!rufflePlayed) {
        rufflePlayed = await safely(() => shownFrame.frame.contentWindow.rufflePlaysAtAll());
        if (!rufflePlayed) {
            bridge.ready(false);
            return;
        }
    }
    bridge.loadEnded(ticket, shown);
}

// Ruffle compiles its WebAssembly with the first movie rather than with a
// movie of its own beforehand: the program asks for a movie as it starts, and
// one start-up of Ruffle is quicker than two.
window.addEventListener("load", async () => {
    const frame = await addFrame();
    frame.className = "";
    shownFrame = { frame, movies: 0 };
    new QWebChannel(qt.webChannelTransport, (channel) => {
        const bridge = channel.objects.player;
        bridge.loadRequested.connect((ticket, url) => load(bridge, ticket, url));
        bridge.ready(true);
    });
});
