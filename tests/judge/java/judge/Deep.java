package judge;

/** Recursion that needs far more than the VM's default thread stack. */
public final class Deep {
    private static int descend(int depth, long a, long b, long c) {
        if (depth == 0) {
            return (int) (a + b + c) & 1;
        }
        return descend(depth - 1, a + 1, b ^ depth, c + a) + 1;
    }

    public static void main(String[] args) {
        int depth = Integer.parseInt(args[0]);
        int reached = descend(depth, 1, 2, 3);
        System.out.println("depth ok " + (reached >= depth));
    }
}
