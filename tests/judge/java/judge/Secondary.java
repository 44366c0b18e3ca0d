package judge;

/** Forwarded starts: main waits (20 s at most) until secondaryMain has been called. */
final class SecondaryVoid {
    static final java.util.concurrent.CountDownLatch called = new java.util.concurrent.CountDownLatch(1);

    public static void main(String[] args) throws InterruptedException {
        System.out.println(called.await(20, java.util.concurrent.TimeUnit.SECONDS) ? "main saw secondaryMain" : "timeout");
    }

    public static void secondaryMain(String[] args) {
        System.out.println("secondaryMain on " + Thread.currentThread().getName() + " [" + String.join("|", args) + "]");
        called.countDown();
    }
}

final class SecondaryInt {
    public static void main(String[] args) throws InterruptedException { SecondaryVoid.main(args); }

    public static int secondaryMain(String[] args) {
        SecondaryVoid.secondaryMain(args);
        return 7;
    }
}

final class SecondaryThrows {
    public static void main(String[] args) throws InterruptedException { SecondaryVoid.main(args); }

    public static int secondaryMain(String[] args) {
        SecondaryVoid.secondaryMain(args);
        throw new IllegalStateException("no reply from here");
    }
}
